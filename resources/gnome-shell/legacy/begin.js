// Publishes the focused window's process id and WM class on the session bus, for the automatic
// profile switching of the Z900 configuration utility: a method to ask, a signal on change.
// The form for GNOME Shell 42 to 44, which load extensions as scripts.
'use strict';

const {Gio, GLib} = imports.gi;

