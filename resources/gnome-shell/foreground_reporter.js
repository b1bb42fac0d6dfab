// The foreground extension's own part, the same in both of its forms: it publishes the focused
// window's process id and WM class on the session bus, for the automatic profile switching of
// the Z900 configuration utility (a method to ask, a signal on change). Each form puts its own
// beginning (how it imports) and end (how GNOME Shell starts it) around this; the build joins
// them into the form's extension.js.

const BUS_NAME = 'org.z900.Foreground';
const OBJECT_PATH = '/org/z900/Foreground';
const INTERFACE = `
<node>
  <interface name="org.z900.Foreground1">
    <method name="GetFocus">
      <arg type="u" name="pid" direction="out"/>
      <arg type="s" name="wm_class" direction="out"/>
    </method>
    <signal name="FocusChanged">
      <arg type="u" name="pid"/>
      <arg type="s" name="wm_class"/>
    </signal>
  </interface>
</node>`;

class ForegroundReporter {
    enable() {
        this._object = Gio.DBusExportedObject.wrapJSObject(INTERFACE, this);
        this._object.export(Gio.DBus.session, OBJECT_PATH);
        this._focusId = global.display.connect('notify::focus-window', () => this._changed());
        this._nameId = Gio.bus_own_name_on_connection(
            Gio.DBus.session, BUS_NAME, Gio.BusNameOwnerFlags.NONE, null, null);
    }

    disable() {
        Gio.bus_unown_name(this._nameId);
        global.display.disconnect(this._focusId);
        this._object.unexport();
        this._object = null;
    }

    // [pid, wm_class] of the focused window; 0 and '' for what is not known.
    _focus() {
        const window = global.display.focus_window;
        if (!window)
            return [0, ''];
        const pid = window.get_pid();
        return [pid > 0 ? pid : 0, window.get_wm_class() || ''];
    }

    GetFocus() {
        return this._focus();
    }

    _changed() {
        this._object.emit_signal('FocusChanged', new GLib.Variant('(us)', this._focus()));
    }
}
