
function init() {
    return new ForegroundReporter();
}
