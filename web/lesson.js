// The lesson page: a form with presets and links, a run steered by buttons
// and the classic program's keys, the reactor scaled to the screen, a chart
// of the measures, the CSV and the picture to take home, and
// window.lemvaris for scripts. The simulation is the C++ core
// (lesson_binding.cpp, created as createLessonCore), which also reads the
// form's numbers, gives the parameters' kinds and ranges and formats the
// table; this file builds the form and draws. Sends nothing anywhere.
//
// Sections: texts; the form; the run; drawing and layout; buttons, keys and
// the script interface; start-up.
'use strict';
(function () {
  // --- Texts ---
  const Texts = {
    hu: {
      classic: 'A klasszikus program', preset: 'Kísérlet', custom: '– saját beállítás –',
      start: 'Indítás', share: 'Link', step: 'Lépés', play: 'Futtatás', pause: 'Szünet',
      restart: 'Újra', end: 'Vége', speed: 'Sebesség', saveCsv: 'Adatok (CSV)',
      savePng: 'Kép (PNG)', keys: 'Billentyűk: L lépés, N futás, C gyors futás, V vége.',
      N: 'Sorok (N)', M: 'Oszlopok (M)', K: 'Részecskék (K)', Ah: 'Adhézió (Ah)',
      Kh: 'Kohézió (Kh)', G: 'Nehézség (G)', rSz: 'Sugár (rSz)', seed: 'Mag (seed)',
      notNumber: 'Ez nem szám.', notInteger: 'Egész számot írjon.',
      range: (low, high) => `${low} és ${high} között legyen.`,
      frozen: 'A részecskék már nem tudnak elmozdulni.', ended: 'A futás véget ért.',
      waiting: 'Állítsa be a kísérletet, majd: Indítás.', paused: 'áll', playing: 'fut',
      quiet: 'gyors', fastest: 'leggyorsabb', perSecond: 'lépés/s',
      copied: 'A link a vágólapon:',
      bottom: 'alsó sor', wall_contacts: 'falérintés', interface: 'határfelület',
      mean_row: 'átlagos sor', axisT: 'T (lépés)', axisCount: 'részecske / cellapár',
      axisRow: 'sor', noCore: 'A szimuláció nem töltődött be: ', other: 'English',
      run: 'Futás', reactor: 'A reakciótér: kék fal, fekete üres cella, sárga részecske',
    },
    en: {
      classic: 'The classic program', preset: 'Experiment', custom: '– own settings –',
      start: 'Start', share: 'Link', step: 'Step', play: 'Play', pause: 'Pause',
      restart: 'Restart', end: 'End', speed: 'Speed', saveCsv: 'Data (CSV)',
      savePng: 'Picture (PNG)', keys: 'Keys: L step, N play, C fast, V end.',
      N: 'Rows (N)', M: 'Columns (M)', K: 'Particles (K)', Ah: 'Adhesion (Ah)',
      Kh: 'Cohesion (Kh)', G: 'Gravity (G)', rSz: 'Radius (rSz)', seed: 'Seed',
      notNumber: 'This is not a number.', notInteger: 'Type a whole number.',
      range: (low, high) => `Must be from ${low} to ${high}.`,
      frozen: 'No particle can move any more.', ended: 'The run has ended.',
      waiting: 'Set the experiment up, then: Start.', paused: 'paused', playing: 'playing',
      quiet: 'fast', fastest: 'fastest', perSecond: 'moves/s', copied: 'The link is copied:',
      bottom: 'bottom row', wall_contacts: 'wall contacts', interface: 'interface',
      mean_row: 'mean row', axisT: 'T (moves)', axisCount: 'particles / cell pairs',
      axisRow: 'row', noCore: 'The simulation did not load: ', other: 'Magyar',
      run: 'Run', reactor: 'The reactor: blue wall, black empty cell, yellow particle',
    },
  };
  const lang = new URLSearchParams(location.search).get('lang') === 'en' ? 'en' : 'hu';
  const text = Texts[lang];
  const $ = id => document.getElementById(id);

  // --- The form ---
  // W1 of the benchmarks by default. Each field's kind, low and high (K also
  // at most N*M) come with the core: describeFields.
  const Fields = [
    {id: 'N', value: '100'}, {id: 'M', value: '100'}, {id: 'K', value: '3000'},
    {id: 'Ah', value: '0.5'}, {id: 'Kh', value: '0.8'}, {id: 'G', value: '0.2'},
    {id: 'rSz', value: '3'}, {id: 'seed', value: '0'},
  ];
  const Experiments = window.LemvarisExperiments || [];  // data/experiments.json
  let core = null;

  function buildForm() {
    const box = $('fields');
    for (const f of Fields) {
      const label = document.createElement('label');
      label.htmlFor = f.id;
      label.textContent = text[f.id];
      const field = document.createElement('div');
      field.className = 'field';
      const input = document.createElement('input');
      Object.assign(input, {id: f.id, type: 'text', value: f.value, autocomplete: 'off'});
      input.setAttribute('aria-describedby', f.id + '-error');
      field.append(input);
      const range = document.createElement('span');
      range.className = 'range';
      range.id = f.id + '-range';
      const error = document.createElement('span');
      error.className = 'error';
      error.id = f.id + '-error';
      field.append(range, error);
      input.addEventListener('change', () => check(f));
      box.append(label, field);
    }
    const select = $('preset');
    select.add(new Option(text.custom, ''));
    for (const e of Experiments) select.add(new Option(e[lang].name, e.id));
    select.addEventListener('change', () => {
      const e = Experiments.find(x => x.id === select.value);
      $('preset-watch').textContent = e ? e[lang].watch : '';
      if (!e) return;
      for (const f of Fields) if (f.id in e.params) $(f.id).value = String(e.params[f.id]);
      checkAll();
    });
  }

  // The parameters as the core describes them: each field's kind and range,
  // its input mode, and a slider beside the reals.
  function describeFields(parameters) {
    for (const p of parameters) {
      const f = Fields.find(x => x.id === p.name);
      Object.assign(f, {kind: p.kind, low: p.low, high: p.high});
      const input = $(f.id);
      input.setAttribute('inputmode', f.kind === 'real' ? 'decimal' : 'numeric');
      $(f.id + '-range').textContent = `${f.low}…${f.id === 'K' ? 'N·M' : f.high}`;
      if (f.kind !== 'real') continue;
      const slider = document.createElement('input');
      Object.assign(slider, {id: f.id + '-slider', type: 'range', min: f.low, max: f.high,
                             step: 0.05, tabIndex: -1});
      slider.setAttribute('aria-hidden', 'true');
      slider.addEventListener('input', () => { input.value = slider.value; check(f); });
      const follow = () => {
        const v = core.readParameter(f.id, input.value).value;
        if (Number.isFinite(v)) slider.value = v;
      };
      input.addEventListener('input', follow);
      follow();
      input.after(slider);
    }
  }

  // Marks the field and returns its value as the program reads it (a decimal
  // comma as a point), or NaN when it is refused. Nothing before the core.
  function check(f, high = f.high) {
    if (!core) return NaN;
    const {verdict, value} = core.readParameter(f.id, $(f.id).value);
    const v = verdict === core.ValueVerdict.Malformed ? NaN : value;
    let message = '';
    if (Number.isNaN(v)) message = f.kind === 'real' ? text.notNumber : text.notInteger;
    else if (verdict !== core.ValueVerdict.Accepted || v > high) {
      message = text.range(f.low, high);
    }
    $(f.id).setAttribute('aria-invalid', message ? 'true' : 'false');
    $(f.id + '-error').textContent = message;
    return message ? NaN : v;
  }

  // Every field checked; the parameters, or null when one is refused.
  function checkAll() {
    const values = {};
    for (const f of Fields) {
      const cells = values.N * values.M;
      values[f.id] = check(f, f.id === 'K' && cells < f.high ? cells : f.high);
    }
    return Object.values(values).some(Number.isNaN) ? null : values;
  }

  // The form's values as a link's hash, as typed (the comma as a point), so
  // that the link reads to the same doubles.
  function linkHash() {
    return '#' + Fields.map(f => f.id + '=' +
      encodeURIComponent($(f.id).value.trim().replace(/,/g, '.'))).join('&');
  }

  // A link's values into the form; those it leaves out take their defaults.
  function readHash() {
    const given = new URLSearchParams(location.hash.slice(1));
    if (!Fields.some(f => given.has(f.id))) return;
    for (const f of Fields) $(f.id).value = given.has(f.id) ? given.get(f.id) : f.value;
    if (core) checkAll();
  }

  // --- The run ---
  // Moves per second of the speed control's steps; the last: as fast as it goes.
  const Speeds = [1, 2, 5, 10, 20, 50, 100, 200, 500, 1e3, 2e3, 5e3, 1e4, 2e4, 5e4, 1e5, 2e5,
                  5e5, Infinity];
  const Chunk = 500;          // moves between looks at the clock
  const FrameBudget = 12;     // ms of moves in a frame of about 16.7 ms (a set speed)
  // Full speed runs in a worker (lesson_worker.js), which sends a state of the
  // run back every 25 ms to be drawn (at least 20 a second), or every 500 ms
  // in the fast mode (C), which draws rarely.
  const DrawEvery = {play: 25, quiet: 500};
  const run = {on: false, params: null, mode: 'paused', ended: false, frozen: false,
               samples: null, carry: 0, lastTime: 0, lastDraw: 0};

  // The chart's columns hold the samples and, while T is between two, the
  // current T last (run.current); a draw replaces it, a sample takes its place.
  function dropCurrent() {
    if (run.current) for (const column of run.samples) column.pop();
    run.current = false;
  }

  // A sample: by default the core's now, or one the worker took on its way.
  function takeSample(T = core.T(), m = core.measures()) {
    dropCurrent();
    [T, m.bottom, m.wall_contacts, m.interface, m.mean_row].forEach((v, i) =>
      run.samples[i].push(v));
  }

  function setUpRun(params) {
    stopRemote();
    const p = params;
    if (!core.setUp(p.N, p.M, p.K, p.Ah, p.Kh, p.G, p.rSz, p.seed)) {
      throw new Error('the core refused a set the form accepted');
    }
    Object.assign(run, {on: true, params: p, mode: 'paused', ended: false, frozen: false,
                        samples: [[], [], [], [], []], current: false, carry: 0});
    takeSample();
  }

  // The run can go no further: frozen, or T at the core's limit (an end).
  function noteStop() {
    if (core.frozen()) {
      run.frozen = true;
    } else if (core.atLimit()) {
      run.ended = true;
      run.mode = 'ended';
    }
    return run.frozen || run.ended;
  }

  // Up to n moves, until the deadline (performance.now()) if one is given;
  // takes the samples on the way. The moves made.
  function advance(n, deadline) {
    stopRemote();  // the page moves the run itself now
    let made = 0;
    const every = core.sampleEvery();
    while (made < n && !run.frozen && !run.ended) {
      made += core.step(Math.min(n - made, Chunk));
      if (!noteStop() && core.T() % every === 0) takeSample();
      if (deadline !== undefined && performance.now() >= deadline) break;
    }
    if (run.frozen && run.mode !== 'ended') run.mode = 'paused';
    return made;
  }

  // The table of this run so far, as `lemvaris-batch --steps T` prints it for
  // the page's T: the samples' rows and, unless it is one, the current T's.
  function csv() {
    const [Ts, bottom, wall, side, mean] = run.samples;
    const count = Ts.length - (run.current ? 1 : 0);
    const rows = [core.tableHeader()];
    for (let i = 0; i < count; ++i) {
      rows.push(core.tableRow(Ts[i], {bottom: bottom[i], wall_contacts: wall[i],
                                      interface: side[i], mean_row: mean[i]}));
    }
    if (Ts[count - 1] !== core.T()) rows.push(core.tableRow(core.T(), core.measures()));
    return rows.join('');
  }

  const fastest = () => run.mode === 'quiet' || (run.mode === 'play' &&
                                                  Speeds[$('speed').value] === Infinity);

  // A set speed: the moves due since the last frame, a picture every frame.
  // Full speed: the run goes to the worker.
  function frame(now) {
    requestAnimationFrame(frame);
    if (!run.on || (run.mode !== 'play' && run.mode !== 'quiet')) return;
    if (fastest()) {
      if (!remote && workerReady) startRemote();
      return;
    }
    stopRemote();
    const elapsed = Math.min(now - run.lastTime, 250);
    run.lastTime = now;
    run.carry += Speeds[$('speed').value] * elapsed / 1000;
    const n = Math.floor(run.carry);
    run.carry = advance(n, performance.now() + FrameBudget) < n ? 0 : run.carry - n;
    run.lastDraw = now;
    draw();
  }

  // The worker and the run it moves (remote: its number; 0: none). Every
  // change of course stops it first: the page goes on from the last state it
  // received and drew, which the worker passed through on the same moves.
  const worker = new Worker('lesson_worker.js');
  let workerReady = false, remote = 0, runsSent = 0;

  function startRemote() {
    remote = ++runsSent;
    const record = core.record().slice().buffer;
    worker.postMessage({record, generation: remote, postEvery: DrawEvery[run.mode]}, [record]);
  }

  function stopRemote() {
    if (!remote) return;
    remote = 0;
    worker.postMessage({stop: true});
  }

  worker.onmessage = ({data}) => {
    if (data.ready) workerReady = true;
    if (data.generation !== remote || !remote) return;  // from a run since stopped
    core.record().set(new Uint8Array(data.record));
    for (const s of data.samples) takeSample(s.T, s.measures);
    if (data.stopped) {
      remote = 0;
      if (noteStop() && run.frozen) run.mode = 'paused';
    }
    draw();
  };

  // --- Drawing and layout ---
  const canvas = $('reactor');
  const cells = document.createElement('canvas');  // one pixel a cell
  let chart = null, colours = null;

  function makeChart() {
    const series = (key, stroke, scale) => ({label: text[key], stroke, scale, width: 2});
    chart = new uPlot({
      width: 400, height: 300,
      scales: {x: {time: false}},
      legend: {live: false},
      axes: [{label: text.axisT}, {scale: 'count', label: text.axisCount},
             {scale: 'row', label: text.axisRow, side: 1, grid: {show: false}}],
      series: [{label: 'T'}, series('bottom', '#0000aa', 'count'),
               series('wall_contacts', '#aa00aa', 'count'),
               series('interface', '#00aa00', 'count'), series('mean_row', '#aa5500', 'row')],
    }, [[], [], [], [], []], $('chart'));
  }

  function draw() {
    if (!run.on) return;
    const p = run.params;
    const width = p.M + 2, height = p.N + 2;
    if (cells.width !== width || cells.height !== height) {
      cells.width = width;
      cells.height = height;
    }
    const grid = core.grid();
    const image = new ImageData(width, height);
    const pixels = new Uint32Array(image.data.buffer);
    for (let i = 0; i < grid.length; ++i) pixels[i] = colours[grid[i]];
    cells.getContext('2d').putImageData(image, 0, 0);
    const context = canvas.getContext('2d', {alpha: false});
    context.imageSmoothingEnabled = false;
    context.drawImage(cells, 0, 0, canvas.width, canvas.height);

    dropCurrent();
    if (core.T() % core.sampleEvery() !== 0) {
      takeSample();
      run.current = true;
    }
    chart.setData(run.samples);
    showState();
  }

  function showState() {
    const state = $('state');
    if (!run.on) { state.textContent = text.waiting; return; }
    const p = run.params;
    const mode = run.ended ? text.ended : text[run.mode === 'play' ? 'playing' : run.mode];
    state.textContent = `T = ${core.T()} · ${mode} · N = ${p.N}, M = ${p.M}, K = ${p.K}, ` +
      `Ah = ${p.Ah}, Kh = ${p.Kh}, G = ${p.G}, rSz = ${p.rSz}, seed = ${p.seed}`;
    if (run.frozen) {
      const frozen = document.createElement('span');
      frozen.className = 'frozen';
      frozen.textContent = ' ' + text.frozen;
      state.append(frozen);
    }
    for (const id of ['step', 'play']) $(id).disabled = run.ended || run.frozen;
    $('pause').disabled = run.ended || run.frozen;
    for (const id of ['restart', 'end', 'save-csv', 'save-png']) $(id).disabled = false;
    $('end').disabled = run.ended;
  }

  // The reactor by the largest whole number of device pixels a cell that lets
  // it be seen whole (beside the chart where the page is wide); the chart in
  // the rest.
  function layout() {
    const p = run.params || {N: 100, M: 100};
    const ratio = window.devicePixelRatio || 1;
    const views = $('views'), gap = 12;
    const wide = matchMedia('(min-width: 900px)').matches;
    const below = document.querySelector('#run > .buttons').offsetHeight + $('keys').offsetHeight;
    const room = wide ? document.querySelector('main').clientHeight : window.innerHeight;
    const above = views.getBoundingClientRect().top - $('run').getBoundingClientRect().top;
    const height = Math.max(100, room - above - below - 3 * gap);
    const width = Math.max(100, views.clientWidth - (wide ? 300 + gap : 0));
    const fit = Math.min(width * ratio / (p.M + 2), height * ratio / (p.N + 2));
    const factor = Math.max(1, Math.floor(fit));
    canvas.width = (p.M + 2) * factor;
    canvas.height = (p.N + 2) * factor;
    const shrink = Math.min(1, fit / factor);  // a screen too small even for 1 pixel a cell
    canvas.style.width = canvas.width * shrink / ratio + 'px';
    canvas.style.height = canvas.height * shrink / ratio + 'px';
    const besides = wide ? views.clientWidth - canvas.offsetWidth - gap : views.clientWidth;
    chart.setSize({width: Math.max(200, Math.floor(besides)),
                   height: wide ? Math.max(220, canvas.offsetHeight - 60) : 260});
    draw();
  }

  // --- Buttons, keys and the script interface ---
  function download(blob, name) {
    const link = document.createElement('a');
    link.href = URL.createObjectURL(blob);
    link.download = name;
    document.body.append(link);
    link.click();
    link.remove();
    setTimeout(() => URL.revokeObjectURL(link.href), 60000);
  }

  function start(event) {
    event.preventDefault();
    const params = checkAll();
    if (!params) {
      document.querySelector('[aria-invalid=true]').focus();
      return;
    }
    setUpRun(params);
    layout();
    // The run in view: on a narrow screen its buttons at the top, the reactor below.
    if (matchMedia('(min-width: 900px)').matches) canvas.scrollIntoView({block: 'nearest'});
    else $('run').scrollIntoView({block: 'start'});
  }

  function stepOnce() {
    if (!run.on || run.ended || run.frozen) return;
    run.mode = 'paused';
    advance(1);
    draw();
  }

  function play(mode) {
    if (!run.on || run.ended || run.frozen) return;
    stopRemote();  // to go on with the other mode's pictures
    run.mode = mode;
    run.lastTime = run.lastDraw = performance.now();
    showState();
  }

  function end() {
    if (!run.on) return;
    stopRemote();
    run.mode = 'ended';
    run.ended = true;
    draw();
  }

  function share() {
    if (!checkAll()) return;
    const hash = linkHash();
    history.replaceState(null, '', hash);
    const link = location.href;
    $('share-link').textContent = link;
    if (navigator.clipboard) {
      navigator.clipboard.writeText(link)
        .then(() => { $('share-link').textContent = text.copied + ' ' + link; }, () => {});
    }
  }

  function wireControls() {
    $('setup').addEventListener('submit', start);
    $('share').addEventListener('click', share);
    $('step').addEventListener('click', stepOnce);
    $('play').addEventListener('click', () => play('play'));
    $('pause').addEventListener('click', () => {
      stopRemote();
      if (run.on && !run.ended) run.mode = 'paused';
      draw();
    });
    $('restart').addEventListener('click', () => { if (run.on) { setUpRun(run.params); draw(); } });
    $('end').addEventListener('click', end);
    $('save-csv').addEventListener('click', () =>
      run.on && download(new Blob([csv()], {type: 'text/csv'}), `lemvaris-T${core.T()}.csv`));
    $('save-png').addEventListener('click', () =>
      run.on && canvas.toBlob(blob => download(blob, `lemvaris-T${core.T()}.png`), 'image/png'));
    const showSpeed = () => {
      const rate = Speeds[$('speed').value];
      $('speed-value').textContent = rate === Infinity ? text.fastest : `${rate} ${text.perSecond}`;
    };
    $('speed').addEventListener('input', showSpeed);
    showSpeed();
    // The classic program's keys, where no field takes them.
    const keys = {l: stepOnce, n: () => play('play'), c: () => play('quiet'), v: end};
    document.addEventListener('keydown', event => {
      const action = keys[event.key.toLowerCase()];
      if (!action || event.ctrlKey || event.metaKey || event.altKey ||
          event.target.closest('input, select, textarea')) return;
      event.preventDefault();
      action();
    });
    $('lang-switch').addEventListener('click', event => {
      event.preventDefault();
      location.href = (lang === 'en' ? '?' : '?lang=en') + linkHash();
    });
    window.addEventListener('hashchange', readHash);
    window.addEventListener('resize', () => chart && layout());
  }

  window.lemvaris = {
    state() {
      const p = run.params || {};
      const m = run.on ? core.measures() : {};
      return {T: run.on ? core.T() : 0, N: p.N, M: p.M, K: p.K, Ah: p.Ah, Kh: p.Kh, G: p.G,
              rSz: p.rSz, seed: p.seed, frozen: run.frozen, bottom: m.bottom,
              wall_contacts: m.wall_contacts, interface: m.interface, mean_row: m.mean_row};
    },
    grid: () => (run.on ? core.grid().slice() : new Uint8Array(0)),
    step(n) {
      if (!run.on || run.ended) return 0;
      const made = advance(Math.max(0, Math.floor(n)));
      draw();
      return made;
    },
  };

  // --- Start-up ---
  document.documentElement.lang = lang;
  for (const element of document.querySelectorAll('[data-text]')) {
    element.textContent = text[element.dataset.text];
  }
  $('lang-switch').textContent = text.other;
  $('run').setAttribute('aria-label', text.run);
  canvas.setAttribute('aria-label', text.reactor);
  $('lang-switch').lang = lang === 'en' ? 'hu' : 'en';
  buildForm();
  readHash();
  makeChart();
  for (const id of ['step', 'play', 'pause', 'restart', 'end', 'save-csv', 'save-png']) {
    $(id).disabled = true;
  }
  showState();
  wireControls();
  layout();
  requestAnimationFrame(frame);
  createLessonCore().then(loaded => {
    core = loaded;
    describeFields(core.parameters());
    window.lemvaris.version = core.version();  // the programs' version
    colours = new Uint32Array([0, 1, 2].map(state => {
      const rgb = core.cellRgb(state);  // as little-endian RGBA
      return 0xff000000 | (rgb & 0xff) << 16 | (rgb & 0xff00) | rgb >> 16;
    }));
    if (location.hash) checkAll();
    $('start').disabled = false;
  }, error => { $('state').textContent = text.noCore + error; });
})();
