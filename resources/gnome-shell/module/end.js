
export default class ForegroundExtension extends Extension {
    enable() {
        this._reporter = new ForegroundReporter();
        this._reporter.enable();
    }

    disable() {
        this._reporter.disable();
        this._reporter = null;
    }
}
