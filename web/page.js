// The classic page around Lemvaris: the console rows and the picture that
// the web back end (src/backends/web/) sends, the keys and pasted text it
// takes, the layout, and a new run after the end. Sends nothing anywhere; the
// one file it fetches is the program's own lemvaris.wasm, once, so a new run
// works offline.
'use strict';
(function () {
  const Columns = 80, Rows = 25;
  const KeyQueueLimit = 256;  // keys typed ahead; the program's queue holds as many
  // Keys that stay with the browser: leaving the page's focus, reload,
  // full screen, the developer tools.
  const BrowserKeys = new Set(['Tab', 'F5', 'F11', 'F12']);

  const consoleElement = document.getElementById('console');
  const canvas = document.getElementById('screen');
  const context = canvas.getContext('2d', {alpha: false});
  const again = document.getElementById('again');
  const status = document.getElementById('status');
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
      status.textContent = `A program véget ért (kilépési kód: ${code}).`;
    }
    again.hidden = false;
    layout();
  }

  // The picture as large as the room lets both screens be seen at once, side
  // by side or stacked, whichever is larger; its buffer stays 640 x 480 and
  // the style scales it without smoothing.
  function layout() {
    const gap = 12, margin = 16;
    const footer = document.querySelector('footer').offsetHeight;
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

  document.addEventListener('keydown', event => {
    if (event.isComposing || event.target === again || BrowserKeys.has(event.key)) return;
    const altGraph = event.getModifierState && event.getModifierState('AltGraph');
    if ((event.ctrlKey || event.metaKey || event.altKey) && !altGraph) return;
    event.preventDefault();
    if (keys.length < KeyQueueLimit) keys.push(event.key);
  });

  // Pasted text is typed: its characters as keys, a line end as Enter.
  document.addEventListener('paste', event => {
    if (event.target === again) return;
    event.preventDefault();
    const pasted = (event.clipboardData || window.clipboardData).getData('text');
    for (const c of pasted.replace(/\r\n?/g, '\n')) {
      if (keys.length < KeyQueueLimit) keys.push(c === '\n' ? 'Enter' : c === '\t' ? ' ' : c);
    }
  });

  function failed(reason) {
    running = false;
    status.textContent = 'A program nem indult el: ' + reason;
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

  again.addEventListener('click', start);
  window.addEventListener('resize', layout);
  start();
})();
