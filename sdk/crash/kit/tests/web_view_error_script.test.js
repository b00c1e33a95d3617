// The injected error script, run as a page would run it: in the global scope of a stand-in
// window whose message handler "quellix" records what the script posts.
'use strict';

const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const vm = require('node:vm');

const scriptSource = fs.readFileSync(path.join(__dirname, '..', 'QXWebViewErrorScript.js'), 'utf8');

// A window whose global scope is the window itself, as in a browser; `posted` collects the
// messages handed to the native side.
function makePage({ withHandler = true } = {}) {
  const posted = [];
  const window = vm.createContext({});
  vm.runInContext('var window = this;', window);
  if (withHandler) {
    window.webkit = {
      messageHandlers: {
        quellix: { postMessage: (message) => posted.push(JSON.parse(JSON.stringify(message))) },
      },
    };
  }
  return { window, posted };
}

function inject(page) {
  vm.runInContext(scriptSource, page.window);
}

// What the engine does when the document finished loading and when a script error occurs.
function load(page, event = { type: 'load' }) {
  if (typeof page.window.onload === 'function') page.window.onload(event);
}
function raise(page, msg, url, line, column, error) {
  if (typeof page.window.onerror === 'function') {
    return page.window.onerror(msg, url, line, column, error);
  }
  return undefined;
}

test('an error posts its msg, url, line and column, and not the error object', () => {
  const page = makePage();
  inject(page);
  load(page);
  raise(page, 'Uncaught TypeError: x is undefined', 'https://example.test/app.js', 12, 34,
        new TypeError('x is undefined'));
  assert.deepEqual(page.posted, [
    { msg: 'Uncaught TypeError: x is undefined', url: 'https://example.test/app.js', line: 12,
      column: 34 },
  ]);
});

test('errors before the load ends are posted too, each once', () => {
  const page = makePage();
  inject(page);
  raise(page, 'first', 'a.js', 1, 2);
  load(page);
  raise(page, 'second', 'b.js', 3, 4);
  assert.deepEqual(page.posted.map((m) => m.msg), ['first', 'second']);
});

// The page may set its own handler before the script is injected or afterwards, while the
// document still loads: either way errors after the load reach both sides, with all five
// arguments for the page's handler.
for (const when of ['before the script is injected', 'after the script, before load']) {
  test(`a page handler set ${when} still runs after load`, () => {
    const page = makePage();
    const seen = [];
    const pageHandler = (...args) => { seen.push(args); };
    if (when.startsWith('before')) page.window.onerror = pageHandler;
    inject(page);
    if (!when.startsWith('before')) page.window.onerror = pageHandler;
    load(page);
    const error = new Error('boom');
    raise(page, 'boom', 'page.js', 7, 9, error);
    assert.equal(page.posted.length, 1);
    assert.deepEqual(page.posted[0], { msg: 'boom', url: 'page.js', line: 7, column: 9 });
    assert.equal(seen.length, 1);
    assert.deepEqual(seen[0].slice(0, 4), ['boom', 'page.js', 7, 9]);
    assert.equal(seen[0][4], error);
    assert.notEqual(page.window.onerror, pageHandler, 'the script is back in front');
  });
}

test("the page's own load handler runs once, with the load event", () => {
  const page = makePage();
  const events = [];
  page.window.onload = function (event) { events.push(event); };
  inject(page);
  const event = { type: 'load' };
  load(page, event);
  assert.deepEqual(events, [event]);
});

test('a page with no handlers of its own loads and reports without failing', () => {
  const page = makePage();
  inject(page);
  assert.doesNotThrow(() => load(page));
  assert.equal(raise(page, 'plain', 'p.js', 1, 1), undefined);
  assert.equal(page.posted.length, 1);
});

test("without the native handler the page's handler is still called", () => {
  const page = makePage({ withHandler: false });
  const seen = [];
  page.window.onerror = (msg) => { seen.push(msg); };
  inject(page);
  load(page);
  assert.doesNotThrow(() => raise(page, 'lonely', 'l.js', 1, 1));
  assert.deepEqual(seen, ['lonely']);
});
