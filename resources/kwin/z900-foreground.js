// Reports every change of KWin's active window (its process id and resource class) to the Z900
// configuration utility, which loads this script at start and unloads it at exit. The utility
// fills in the three names below before it hands the file to KWin.
var service = "@SERVICE@";
var path = "@PATH@";
var iface = "@INTERFACE@";

function report(window) {
    var pid = window ? String(window.pid) : "0";
    var resourceClass = window ? String(window.resourceClass) : "";
    callDBus(service, path, iface, "Activated", pid, resourceClass);
}

// KWin 6 names the signal windowActivated, KWin 5 clientActivated.
if (workspace.windowActivated) {
    workspace.windowActivated.connect(report);
    report(workspace.activeWindow);
} else {
    workspace.clientActivated.connect(report);
    report(workspace.activeClient);
}
