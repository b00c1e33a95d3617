// Injected at the end of each monitored page's document, in the page's own global scope: it
// posts every JavaScript error of the page to the native handler "quellix" and hands it on to
// the page's own handler, so the page behaves as it would without it.

var quellixOriginalOnLoad = window.onload;
var quellixOriginalOnError = window.onerror;
window.onerror = quellixOnError;
window.onload = quellixOnLoad;
// The page's own scripts may still replace onerror before the load ends; the load handler
// takes the page's handler into the chain and puts this one back in front.
function quellixOnLoad() {
  if (window.onerror !== quellixOnError) {
    quellixOriginalOnError = window.onerror;
    window.onerror = quellixOnError;
  }
  if (typeof quellixOriginalOnLoad === 'function') {
    quellixOriginalOnLoad.apply(this, arguments);
  }
}
function quellixOnError(msg, url, line, column, error) {
  // The error object itself cannot cross to native code; its four parts can.
  var message = { msg: msg, url: url, line: line, column: column };
  // A view whose handler went away must not take the page's own handler down with it.
  var handlers = window.webkit && window.webkit.messageHandlers;
  if (handlers && handlers.quellix) {
    handlers.quellix.postMessage(message);
  }
  if (typeof quellixOriginalOnError === 'function') {
    quellixOriginalOnError(msg, url, line, column, error);
  }
}
