// Publishes the focused window's process id and WM class on the session bus, for the automatic
// profile switching of the Z900 configuration utility: a method to ask, a signal on change.
// The form for GNOME Shell 45 and later, which loads extensions as ES modules.
import Gio from 'gi://Gio';
import GLib from 'gi://GLib';
import {Extension} from 'resource:///org/gnome/shell/extensions/extension.js';

