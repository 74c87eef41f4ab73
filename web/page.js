// The classic page around Lemvaris: the console rows and the picture that
// the web back end (src/backends/web/) sends, the keys and pasted text it
// takes, on a touch screen a field for the answers and buttons for the mode
// keys, the layout, and a new run after the end. The page's own texts in
// Hungarian or (?lang=en) English; the program speaks Hungarian. Sends
// nothing anywhere; the one file it fetches is the program's own
// lemvaris.wasm, once, so a new run works offline.
'use strict';
(function () {
  const Texts = {
    hu: {
      title: 'Lemvaris – a klasszikus program', console: 'Konzol',
      screen: 'A reaktor, a panel és a hisztogramok grafikus képe',
      keys: 'Billentyűk: <kbd>L</kbd> lépésenként (minden billentyű egy lépés), ' +
            '<kbd>N</kbd> normál, <kbd>C</kbd> csendes (gyors), <kbd>V</kbd> vége.',
      again: 'Új futás', lesson: 'A tanórai oldal: űrlap, kísérletek, gombok, grafikon',
      other: 'English', ended: code => `A program véget ért (kilépési kód: ${code}).`,
      failed: 'A program nem indult el: ', answer: 'Válasz a kérdésre', send: 'Enter',
      touchKeys: 'Billentyűk', keyL: 'lépés', keyN: 'normál', keyC: 'csendes', keyV: 'vége',
    },
    en: {
      title: 'Lemvaris – the classic program', console: 'Console',
      screen: 'The reactor, the panel and the histograms as a picture',
      keys: 'Keys: <kbd>L</kbd> step by step (every key one step), <kbd>N</kbd> normal, ' +
            '<kbd>C</kbd> quiet (fast), <kbd>V</kbd> end. The program speaks Hungarian.',
      again: 'New run', lesson: 'The lesson page: form, experiments, buttons, chart',
      other: 'Magyar', ended: code => `The program has ended (exit code: ${code}).`,
      failed: 'The program did not start: ', answer: 'Answer to the question', send: 'Enter',
      touchKeys: 'Keys', keyL: 'step', keyN: 'normal', keyC: 'quiet', keyV: 'end',
    },
  };
  const lang = new URLSearchParams(location.search).get('lang') === 'en' ? 'en' : 'hu';
  const text = Texts[lang];
  const Columns = 80, Rows = 25;
  const KeyQueueLimit = 256;  // keys typed ahead; the program's queue holds as many
  // Keys that stay with the browser: leaving the page's focus, reload,
  // full screen, the developer tools.
  const BrowserKeys = new Set(['Tab', 'F5', 'F11', 'F12']);

  // A touch screen's keyboard shows only for a field and may send no key
  // events: there the answers are typed into a field of their own, the mode
  // keys are buttons, and a tap on the console turns a help or summary page.
  const touch = matchMedia('(any-pointer: coarse)').matches || navigator.maxTouchPoints > 0;
  const PagePrompt = 'Lapozhatunk?';  // the program's question under a help or summary page

  const consoleElement = document.getElementById('console');
  const canvas = document.getElementById('screen');
  const context = canvas.getContext('2d', {alpha: false});
  const again = document.getElementById('again');
  const status = document.getElementById('status');
  const touchBar = document.getElementById('touch');
  const answer = document.getElementById('answer');
  const rows = [];
  let keys = [];
  let program = null;  // the compiled module: a new run needs no download
  let running = false;  // a program runs in the page

  // 25 rows of 80 blanks, a line break between rows: the pre's text is the
  // console's text, for copying and for screen readers.
  function blankConsole() {
    consoleElement.textContent = '';
    rows.length = 0;
    for (let y = 0; y < Rows; ++y) {
      const row = document.createElement('span');
      row.textContent = ' '.repeat(Columns);
      consoleElement.appendChild(row);
      if (y < Rows - 1) consoleElement.appendChild(document.createTextNode('\n'));
      rows.push(row);
    }
  }

  // One span per run of cells with the same attribute; the cursor's cell
  // (column cursorX, 0 for none) is a span of its own.
  function showRow(y, text, attributes, cursorX) {
    const row = rows[y - 1];
    row.textContent = '';
    const cursor = cursorX - 1;
    for (let x = 0; x < Columns;) {
      let end = x + 1;
      if (x !== cursor) {
        while (end < Columns && end !== cursor && attributes[end] === attributes[x]) ++end;
      }
      const span = document.createElement('span');
      const a = attributes[x];
      span.className = 'f' + (a & 15) + ' b' + ((a >> 4) & 7) + (x === cursor ? ' cursor' : '');
      span.textContent = text.slice(x, end);
      row.appendChild(span);
      x = end;
    }
  }

  function showSurface(pixels, width, height) {
    if (canvas.width !== width || canvas.height !== height) {
      canvas.width = width;
      canvas.height = height;
      layout();
    }
    context.putImageData(new ImageData(pixels, width, height), 0, 0);
  }

  function hideSurface() {
    context.fillStyle = '#000';
    context.fillRect(0, 0, canvas.width, canvas.height);
  }

  // The program's end, with its exit code (0 after the closing text).
  function programEnded(code) {
    running = false;
    if (typeof code === 'number') {
      status.textContent = text.ended(code);
    }
    again.hidden = false;
    layout();
  }

  // The picture as large as the room lets both screens be seen at once, side
  // by side or stacked, whichever is larger; its buffer stays 640 x 480 and
  // the style scales it without smoothing.
  function layout() {
    const gap = 12, margin = 16;
    const footer = document.querySelector('footer').offsetHeight + touchBar.offsetHeight;
    const width = document.documentElement.clientWidth - margin;
    const height = window.innerHeight - margin - footer - gap;
    const textWidth = consoleElement.offsetWidth, textHeight = consoleElement.offsetHeight;
    const factor = (w, h) => Math.max(0, Math.min(w / canvas.width, h / canvas.height));
    const side = factor(width - textWidth - gap, height);
    let stacked = factor(width, height - textHeight - gap);
    // Where neither leaves a readable picture (a phone), it goes below the
    // console as wide as the page, and the page scrolls down to it.
    const readable = 0.5;
    if (Math.max(side, stacked) < readable) stacked = Math.min(1, width / canvas.width);
    document.body.classList.toggle('wide', side >= stacked);
    const scale = Math.max(side, stacked);
    canvas.style.width = Math.floor(canvas.width * scale) + 'px';
    canvas.style.height = Math.floor(canvas.height * scale) + 'px';
  }

  // Keys typed into the answer field, or that press a button, are theirs.
  const ownTarget = event => event.target.closest && event.target.closest('button, input');

  function typeKey(key) {
    if (keys.length < KeyQueueLimit) keys.push(key);
  }

  document.addEventListener('keydown', event => {
    if (event.isComposing || ownTarget(event) || BrowserKeys.has(event.key)) return;
    const altGraph = event.getModifierState && event.getModifierState('AltGraph');
    if ((event.ctrlKey || event.metaKey || event.altKey) && !altGraph) return;
    event.preventDefault();
    typeKey(event.key);
  });

  // Pasted text is typed: its characters as keys, a line end as Enter.
  document.addEventListener('paste', event => {
    if (ownTarget(event)) return;
    event.preventDefault();
    const pasted = (event.clipboardData || window.clipboardData).getData('text');
    for (const c of pasted.replace(/\r\n?/g, '\n')) typeKey(c === '\n' ? 'Enter' : c === '\t' ? ' ' : c);
  });

  // The answer field: its text typed, then Enter (an empty field is Enter
  // alone, which turns a page too). It keeps the focus for the next answer.
  touchBar.addEventListener('submit', event => {
    event.preventDefault();
    for (const c of answer.value) typeKey(c);
    typeKey('Enter');
    answer.value = '';
  });

  // The mode keys' buttons type their letter; the focus goes back to the
  // console, where a keyboard's keys go on working.
  for (const button of document.querySelectorAll('#touch-keys button')) {
    button.addEventListener('click', () => {
      typeKey(button.dataset.key);
      consoleElement.focus({preventScroll: true});
    });
  }

  consoleElement.addEventListener('click', () => {
    if (touch && running && rows[Rows - 1].textContent.includes(PagePrompt)) typeKey(' ');
  });

  function failed(reason) {
    running = false;
    status.textContent = text.failed + reason;
    again.hidden = false;
  }

  function loadProgram() {
    if (program) return Promise.resolve(program);
    return fetch('lemvaris.wasm')
      .then(response => {
        if (!response.ok) throw new Error('lemvaris.wasm: ' + response.status);
        return response.arrayBuffer();
      })
      .then(bytes => WebAssembly.compile(bytes))
      .then(module => (program = module));
  }

  // One program at a time: a click on the hidden button, or a script's,
  // while one runs starts nothing.
  function start() {
    if (running) return;
    running = true;
    keys = [];
    again.hidden = true;
    status.textContent = '';
    blankConsole();
    hideSurface();
    layout();
    consoleElement.focus();
    createLemvaris({
      page: {showRow, showSurface, hideSurface, nextKey: () => keys.shift(), programEnded},
      instantiateWasm(imports, receive) {
        loadProgram()
          .then(module => WebAssembly.instantiate(module, imports))
          .then(instance => receive(instance, program), failed);
        return {};
      },
      onExit: programEnded,
      onAbort: failed,
    }).catch(failed);
  }

  document.documentElement.lang = lang;
  document.title = text.title;
  for (const element of document.querySelectorAll('[data-text]')) {
    element.textContent = text[element.dataset.text];
  }
  document.getElementById('keys').innerHTML = text.keys;  // the page's own markup
  consoleElement.setAttribute('aria-label', text.console);
  canvas.setAttribute('aria-label', text.screen);
  document.getElementById('touch-keys').setAttribute('aria-label', text.touchKeys);
  const langSwitch = document.getElementById('lang-switch');
  langSwitch.textContent = text.other;
  langSwitch.lang = lang === 'en' ? 'hu' : 'en';
  langSwitch.href = lang === 'en' ? '?' : '?lang=en';
  if (lang === 'en') document.getElementById('lesson-link').href = 'index.html?lang=en';
  touchBar.hidden = !touch;
  document.body.classList.toggle('touch', touch);

  again.addEventListener('click', start);
  window.addEventListener('resize', layout);
  start();
})();
