// The lesson page: a form with presets and links, a run steered by buttons
// and the classic program's keys, the reactor scaled to the screen, its
// numbers, a chart of the measures, a projector view, the CSV and the
// captioned picture to take home, the link as a QR code, and
// window.lemvaris for scripts. The simulation is the C++ core
// (lesson_binding.cpp, created as createLessonCore), which also reads the
// form's numbers, gives the parameters' kinds and ranges and formats the
// table; this file builds the form and draws. Sends nothing anywhere.
//
// Sections: texts; the form; the run; drawing and layout; saving; the QR
// code; buttons, keys and the script interface; start-up.
'use strict';
(function () {
  // --- Texts ---
  const Texts = {
    hu: {
      classic: 'A klasszikus program', preset: 'Kísérlet', custom: '– saját beállítás –',
      start: 'Indítás', share: 'Link', step: 'Lépés', play: 'Futtatás', quietButton: 'Gyors',
      pause: 'Szünet', restart: 'Újra', end: 'Vége', present: 'Kivetítés', back: 'Vissza',
      speed: 'Sebesség', saveCsv: 'Adatok (CSV)', savePng: 'Kép (PNG)',
      keys: 'Billentyűk: L lépés, N futás, C gyors futás, V vége, F kivetítés.',
      N: 'Sorok (N)', M: 'Oszlopok (M)', K: 'Részecskék (K)', Ah: 'Adhézió (Ah)',
      Kh: 'Kohézió (Kh)', G: 'Nehézség (G)', rSz: 'Sugár (rSz)', seed: 'Mag (seed)',
      notNumber: 'Ez nem szám.', notInteger: 'Egész számot írjon.',
      range: (low, high) => `${low} és ${high} között legyen.`,
      frozen: 'A részecskék már nem tudnak elmozdulni.', ended: 'A futás véget ért.',
      waiting: 'Állítsa be a kísérletet, majd: Indítás.', paused: 'áll', playing: 'fut',
      quiet: 'gyors', fastest: 'leggyorsabb', perSecond: 'lépés/s',
      speedText: rate => `${rate} lépés másodpercenként`, fastestText: 'a leggyorsabb',
      copied: 'A link a vágólapon:',
      bottom: 'alsó sor', wall_contacts: 'falérintés', interface: 'határfelület',
      height: 'átlagos magasság',
      heightSeries: 'átlagos magasság alulról (N + 1 − átlagos sor)',
      unitParticles: 'részecske', unitPairs: 'cellapár', unitRows: 'sor, alulról',
      axisT: 'T (lépés)', axisCount: 'részecske / cellapár', axisHeight: 'magasság (sor)',
      noCore: 'A szimuláció nem töltődött be: ', other: 'English',
      run: 'Futás', reactor: 'A reakciótér: kék fal, fekete üres cella, sárga részecske',
      keyParticle: 'sárga: részecske', keyWall: 'kék: fal', keyEmpty: 'fekete: üres cella',
      qrCaption: 'A link telefonnal beolvasható.', qrAlt: 'A link QR-kódja',
      newRun: 'Új futás, T = 0.', nowPlaying: 'Fut.', nowQuiet: 'Gyors futás.',
      nowPaused: T => `Szünet, T = ${T}.`, nowEnded: T => `A futás véget ért, T = ${T}.`,
      nowFrozen: T => `Megállt, T = ${T}: a részecskék már nem tudnak elmozdulni.`,
      summary: (T, v) => `T = ${T}: alsó sor ${v.bottom}, falérintés ${v.wall_contacts}, ` +
        `határfelület ${v.interface}, átlagos magasság ${v.height}.`,
    },
    en: {
      classic: 'The classic program', preset: 'Experiment', custom: '– own settings –',
      start: 'Start', share: 'Link', step: 'Step', play: 'Play', quietButton: 'Fast',
      pause: 'Pause', restart: 'Restart', end: 'End', present: 'Projector view', back: 'Back',
      speed: 'Speed', saveCsv: 'Data (CSV)', savePng: 'Picture (PNG)',
      keys: 'Keys: L step, N play, C fast, V end, F projector view.',
      N: 'Rows (N)', M: 'Columns (M)', K: 'Particles (K)', Ah: 'Adhesion (Ah)',
      Kh: 'Cohesion (Kh)', G: 'Gravity (G)', rSz: 'Radius (rSz)', seed: 'Seed',
      notNumber: 'This is not a number.', notInteger: 'Type a whole number.',
      range: (low, high) => `Must be from ${low} to ${high}.`,
      frozen: 'No particle can move any more.', ended: 'The run has ended.',
      waiting: 'Set the experiment up, then: Start.', paused: 'paused', playing: 'playing',
      quiet: 'fast', fastest: 'fastest', perSecond: 'moves/s',
      speedText: rate => `${rate} moves a second`, fastestText: 'the fastest',
      copied: 'The link is copied:',
      bottom: 'bottom row', wall_contacts: 'wall contacts', interface: 'interface',
      height: 'mean height',
      heightSeries: 'mean height from the bottom (N + 1 − mean row)',
      unitParticles: 'particles', unitPairs: 'cell pairs', unitRows: 'rows up',
      axisT: 'T (moves)', axisCount: 'particles / cell pairs', axisHeight: 'height (rows)',
      noCore: 'The simulation did not load: ', other: 'Magyar',
      run: 'Run', reactor: 'The reactor: blue wall, black empty cell, yellow particle',
      keyParticle: 'yellow: particle', keyWall: 'blue: wall', keyEmpty: 'black: empty cell',
      qrCaption: "A phone's camera reads the link.", qrAlt: 'QR code of the link',
      newRun: 'New run, T = 0.', nowPlaying: 'Playing.', nowQuiet: 'Playing fast.',
      nowPaused: T => `Paused, T = ${T}.`, nowEnded: T => `The run has ended, T = ${T}.`,
      nowFrozen: T => `Frozen at T = ${T}: no particle can move any more.`,
      summary: (T, v) => `T = ${T}: bottom row ${v.bottom}, wall contacts ${v.wall_contacts}, ` +
        `interface ${v.interface}, mean height ${v.height}.`,
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
      if ('seed' in e) $('seed').value = String(e.seed);  // an experiment that names its seed
      checkAll();
    });
  }

  // The experiment whose parameters the form holds (the seed is free), or
  // undefined: the list and the saved files' names say which one ran.
  function presetOf(values) {
    return Experiments.find(e => Object.entries(e.params).every(([k, v]) => values[k] === v));
  }

  // The list follows the form: a link or an edit to a preset's values names
  // that preset, any other values are the own settings.
  function followPreset() {
    const values = {};
    for (const f of Fields) values[f.id] = core.readParameter(f.id, $(f.id).value).value;
    const e = presetOf(values);
    if ($('preset').value === (e ? e.id : '')) return;
    $('preset').value = e ? e.id : '';
    $('preset-watch').textContent = e ? e[lang].watch : '';
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
      input.addEventListener('input', () => { followSlider(f); followPreset(); });
      if (f.kind !== 'real') continue;
      const slider = document.createElement('input');
      Object.assign(slider, {id: f.id + '-slider', type: 'range', min: f.low, max: f.high,
                             step: 0.05, tabIndex: -1});
      slider.setAttribute('aria-hidden', 'true');
      slider.addEventListener('input', () => {
        input.value = slider.value;
        check(f);
        followPreset();
      });
      input.after(slider);
      followSlider(f);
    }
  }

  // A real's slider at its field's number, whoever wrote it: typing, a
  // preset, a link. A field that reads as no number leaves it where it is.
  function followSlider(f) {
    const slider = $(f.id + '-slider');
    if (!slider) return;
    const v = core.readParameter(f.id, $(f.id).value).value;
    if (Number.isFinite(v)) slider.value = v;
  }

  // Marks the field and returns its value as the program reads it (a decimal
  // comma as a point), or NaN when it is refused. Nothing before the core.
  // A number out of range (a seed of -1 too) says the range; only text that
  // is no number asks for one.
  function check(f, high = f.high) {
    if (!core) return NaN;
    const {verdict, value} = core.readParameter(f.id, $(f.id).value);
    let message = '';
    if (verdict === core.ValueVerdict.Malformed) {
      message = f.kind === 'real' ? text.notNumber : text.notInteger;
    } else if (verdict !== core.ValueVerdict.Accepted || value > high) {
      message = text.range(f.low, high);
    }
    $(f.id).setAttribute('aria-invalid', message ? 'true' : 'false');
    $(f.id + '-error').textContent = message;
    followSlider(f);
    return message ? NaN : value;
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
    if (!core) return;
    checkAll();
    followPreset();
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
  // The numbers and the state line change at most this often (ms): slow
  // enough to be read, and little work beside the moves.
  const ShowEvery = 250;
  // While the run plays, screen readers hear a short summary at most this often (ms).
  const SummaryEvery = 5000;
  // window.lemvaris.step(n) stops after this many ms of moves, whatever n.
  const StepBudgetMs = 500;
  // event: the run's last event told to screen readers (#announce).
  const run = {on: false, params: null, experiment: 'custom', mode: 'paused', ended: false,
               frozen: false, samples: null, carry: 0, lastTime: 0, lastDraw: 0, lastShown: 0,
               event: '', lastSummary: 0};

  // The chart's columns hold the samples and, while T is between two, the
  // current T last (run.current); a draw replaces it, a sample takes its place.
  function dropCurrent() {
    if (run.current) for (const column of run.samples) column.pop();
    run.current = false;
  }

  // A sample: by default the core's now, or one the worker took on its way.
  // The columns: T, the four measures of the table, and the mean row as the
  // chart shows it, the height above the bottom (the table counts rows from
  // the top, so a falling liquid's mean row climbs).
  function takeSample(T = core.T(), m = core.measures()) {
    dropCurrent();
    [T, m.bottom, m.wall_contacts, m.interface, m.mean_row, run.params.N + 1 - m.mean_row]
      .forEach((v, i) => run.samples[i].push(v));
  }

  function setUpRun(params) {
    stopRemote();
    const p = params;
    if (!core.setUp(p.N, p.M, p.K, p.Ah, p.Kh, p.G, p.rSz, p.seed)) {
      throw new Error('the core refused a set the form accepted');
    }
    Object.assign(run, {on: true, params: p, experiment: (presetOf(p) || {id: 'custom'}).id,
                        mode: 'paused', ended: false, frozen: false,
                        samples: [[], [], [], [], [], []], current: false, carry: 0,
                        lastShown: 0, event: 'paused'});
    takeSample();
    announce(text.newRun);
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
  const nowMark = document.createElement('div');   // the current T on the chart
  let chart = null, colours = null, presenting = false;
  const locale = lang === 'hu' ? 'hu-HU' : 'en-GB';
  const wholeNumber = new Intl.NumberFormat(locale, {maximumFractionDigits: 0});
  const oneDecimal = new Intl.NumberFormat(locale, {minimumFractionDigits: 1,
                                                    maximumFractionDigits: 1});

  // The smallest of 1, 1.5, 2, 3, 4, 5, 6 and 8 times a power of ten that is
  // at least v: an axis's end that moves seldom and in round steps.
  function roundUp(v) {
    if (!(v > 1)) return 1;
    const power = 10 ** Math.floor(Math.log10(v));
    return [1, 1.5, 2, 3, 4, 5, 6, 8, 10].find(m => m * power >= v) * power;
  }

  // The axes hold still: T from 0 a little past the current T (marked), the
  // counts from 0 (a change of 5 in 1800 stays small), the height over all of
  // the reactor's rows. The legend gives the values under the pointer.
  function makeChart() {
    const font = '14px system-ui, sans-serif', labelFont = 'bold 14px system-ui, sans-serif';
    const axis = options => ({font, labelFont, labelSize: 22, stroke: '#000',
                              ticks: {stroke: '#999'}, grid: {stroke: '#e4e4e4'}, ...options});
    const shown = format => (u, v) => (v === null || v === undefined ? '–' : format.format(v));
    const series = (key, stroke, scale, format) => ({label: text[key], stroke, scale, width: 2,
                                                      value: shown(format)});
    chart = new uPlot({
      width: 400, height: 300,
      scales: {
        x: {time: false, range: (u, low, high) => [0, roundUp(Math.max(high * 1.05, 10))]},
        count: {range: (u, low, high) => [0, roundUp(Math.max(high * 1.1, 10))]},
        height: {range: () => [0, run.params ? run.params.N : 100]},
      },
      legend: {live: true},
      axes: [axis({label: text.axisT, size: 48}),
             axis({scale: 'count', label: text.axisCount, size: 64}),
             axis({scale: 'height', label: text.axisHeight, side: 1, size: 52,
                   grid: {show: false}})],
      series: [{label: 'T', value: shown(wholeNumber)},
               series('bottom', '#0000aa', 'count', wholeNumber),
               series('wall_contacts', '#aa00aa', 'count', wholeNumber),
               series('interface', '#007700', 'count', wholeNumber),
               series('heightSeries', '#aa5500', 'height', oneDecimal)],
      hooks: {draw: [markNow]},
    }, [[], [], [], [], []], $('chart'));
    nowMark.id = 'chart-now';
    chart.over.append(nowMark);
  }

  // A line at the current T, with its value; the label keeps inside the plot.
  function markNow(u) {
    const T = run.on ? core.T() : 0;
    const x = u.valToPos(T, 'x');
    nowMark.style.left = x + 'px';
    nowMark.textContent = `T = ${T}`;
    nowMark.classList.toggle('flip', x > u.over.clientWidth / 2);
  }

  // The reactor every time; the chart unless the projector view hides it; the
  // numbers and the state line at most every ShowEvery ms while the run
  // moves (force: now).
  function draw(force = false) {
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
    if (!presenting) {
      const [T, bottom, wall, side, , rise] = run.samples;
      chart.setData([T, bottom, wall, side, rise]);
    }
    const now = performance.now();
    const moving = run.mode === 'play' || run.mode === 'quiet';
    if (force || !moving || now - run.lastShown >= ShowEvery) {
      run.lastShown = now;
      showState();
      showNumbers();
    }
    showButtons();
    tell(now, moving);
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
  }

  // The four numbers as the page shows them: counts, and the height above
  // the bottom to one decimal.
  function currentValues() {
    const m = core.measures();
    return {bottom: wholeNumber.format(m.bottom),
            wall_contacts: wholeNumber.format(m.wall_contacts),
            interface: wholeNumber.format(m.interface),
            height: oneDecimal.format(run.params.N + 1 - m.mean_row)};
  }

  function showNumbers() {
    const v = currentValues();
    for (const [id, key] of [['bottom', 'bottom'], ['wall_contacts', 'wall_contacts'],
                             ['interface', 'interface'], ['mean_row', 'height']]) {
      $('value-' + id).firstChild.textContent = v[key];
    }
  }

  function showButtons() {
    const focused = document.activeElement;
    const over = !run.on || run.ended || run.frozen;
    for (const id of ['step', 'play', 'quiet', 'pause']) $(id).disabled = over;
    $('end').disabled = !run.on || run.ended;
    for (const id of ['restart', 'save-csv', 'save-png']) $(id).disabled = !run.on;
    if (focused instanceof HTMLButtonElement && focused.disabled) keepFocusNear(focused);
  }

  // A button switched off while it has the focus hands it to the nearest one
  // still on, those before it first (after Vége: Újra), so that a keyboard's
  // place is not lost to the page.
  function keepFocusNear(button) {
    const row = Array.from(document.querySelectorAll('#controls button, #saves button'));
    const i = Math.max(0, row.indexOf(button));
    const near = row.slice(0, i).reverse().concat(row.slice(i + 1)).find(b => !b.disabled);
    if (near) near.focus();
  }

  // Screen readers hear the run's events (a new run, playing, paused, frozen,
  // ended) and, while it plays, a summary every SummaryEvery ms; never the
  // frames.
  function announce(message) {
    $('announce').textContent = message;
  }

  function tell(now, moving) {
    const event = run.frozen ? 'frozen' : run.ended ? 'ended' : run.mode;
    if (event !== run.event) {
      run.event = event;
      run.lastSummary = now;
      const T = core.T();
      announce({play: text.nowPlaying, quiet: text.nowQuiet, paused: text.nowPaused(T),
                frozen: text.nowFrozen(T), ended: text.nowEnded(T)}[event]);
    } else if (moving && now - run.lastSummary >= SummaryEvery) {
      run.lastSummary = now;
      announce(text.summary(core.T(), currentValues()));
    }
  }

  // The reactor by the largest whole number of device pixels a cell that lets
  // it be seen whole (beside the chart where the page is wide); the chart in
  // the rest. The projector view gives it all the height and leaves a column
  // beside it (below it on an upright screen) for the numbers.
  const SideColumn = 300;
  function layout() {
    const p = run.params || {N: 100, M: 100};
    const ratio = window.devicePixelRatio || 1;
    const views = $('views'), gap = 12;
    let width, height;
    if (presenting) {
      const box = views.getBoundingClientRect();
      const upright = window.innerWidth < window.innerHeight;
      height = window.innerHeight - box.top - gap;
      width = upright ? views.clientWidth
                      : document.documentElement.clientWidth - box.left - SideColumn - 3 * gap;
    } else {
      const wide = matchMedia('(min-width: 900px)').matches;
      const below = $('saves').offsetHeight + $('keys').offsetHeight;
      const room = wide ? document.querySelector('main').clientHeight : window.innerHeight;
      const above = views.getBoundingClientRect().top - $('run').getBoundingClientRect().top;
      height = Math.max(100, room - above - below - 3 * gap);
      width = Math.max(100, views.clientWidth - (wide ? 300 + gap : 0));
    }
    const fit = Math.min(width * ratio / (p.M + 2), height * ratio / (p.N + 2));
    const factor = Math.max(1, Math.floor(fit));
    canvas.width = (p.M + 2) * factor;
    canvas.height = (p.N + 2) * factor;
    // A screen too small even for 1 pixel a cell shrinks it; on a projector
    // it grows to the room when whole pixels would leave a tenth of it unused.
    const scale = presenting && factor < 0.9 * fit ? fit / factor : Math.min(1, fit / factor);
    canvas.style.width = canvas.width * scale / ratio + 'px';
    canvas.style.height = canvas.height * scale / ratio + 'px';
    if (!presenting) {
      const wide = matchMedia('(min-width: 900px)').matches;
      const besides = wide ? views.clientWidth - canvas.offsetWidth - gap : views.clientWidth;
      chart.setSize({width: Math.max(200, Math.floor(besides)),
                     height: wide ? Math.max(220, canvas.offsetHeight - 90) : 260});
    }
    draw(true);
  }

  // The projector view: the run alone, large, with its numbers and the link's
  // QR code beside it; the same button (or F, or Esc) returns.
  function present(on = !presenting) {
    presenting = on;
    document.body.classList.toggle('present', on);
    $('present').textContent = on ? text.back : text.present;
    if (on) $('run').append($('share-qr-box'));
    else $('share-link').after($('share-qr-box'));
    window.scrollTo(0, 0);
    layout();
  }

  // --- Saving ---
  function download(blob, name) {
    const link = document.createElement('a');
    link.href = URL.createObjectURL(blob);
    link.download = name;
    document.body.append(link);
    link.click();
    link.remove();
    setTimeout(() => URL.revokeObjectURL(link.href), 60000);
  }

  // lemvaris-wetting-seed0-T20000.csv: the experiment (or custom), the seed, T.
  const fileName = suffix =>
    `lemvaris-${run.experiment}-seed${run.params.seed}-T${core.T()}.${suffix}`;

  // What the picture's caption says: what ran, where it was, with what.
  function captionLines() {
    const p = run.params, e = Experiments.find(x => x.id === run.experiment);
    return [`Lemvaris ${core.version()} · ${e ? e[lang].name : text.custom.replace(/–/g, '').trim()}` +
              ` · T = ${core.T()}${run.frozen ? ' · ' + text.frozen : ''}`,
            `N = ${p.N}, M = ${p.M}, K = ${p.K}, Ah = ${p.Ah}, Kh = ${p.Kh}, G = ${p.G}, ` +
              `rSz = ${p.rSz}, seed = ${p.seed}`];
  }

  // The lines broken at their blanks to fit width in the context's font.
  function wrapLines(context, lines, width) {
    const out = [];
    for (const line of lines) {
      let current = '';
      for (const word of line.split(' ')) {
        const tried = current ? current + ' ' + word : word;
        if (current && context.measureText(tried).width > width) {
          out.push(current);
          current = word;
        } else {
          current = tried;
        }
      }
      out.push(current);
    }
    return out;
  }

  // The reactor as drawn (each cell still a square of whole pixels, at least
  // 480 pixels wide) over a white strip with the caption.
  function savePicture() {
    const k = Math.max(1, Math.ceil(480 / canvas.width));
    const width = canvas.width * k, top = canvas.height * k;
    const size = Math.max(14, Math.round(width / 48)), pad = Math.round(size / 2);
    const out = document.createElement('canvas');
    const context = out.getContext('2d');
    const font = `${size}px system-ui, sans-serif`;
    context.font = font;
    const lines = wrapLines(context, captionLines(), width - 2 * pad);
    out.width = width;
    out.height = top + lines.length * Math.round(size * 1.3) + 2 * pad;
    context.imageSmoothingEnabled = false;
    context.drawImage(canvas, 0, 0, width, top);
    context.fillStyle = '#fff';
    context.fillRect(0, top, width, out.height - top);
    context.fillStyle = '#000';
    context.font = font;  // a canvas's new size resets its context
    context.textBaseline = 'top';
    lines.forEach((line, i) => context.fillText(line, pad, top + pad + i * Math.round(size * 1.3)));
    out.toBlob(blob => download(blob, fileName('png')), 'image/png');
  }

  // --- The link's QR code ---
  // The one place that knows the QR library: the text's QR code as an SVG
  // picture, or null without the library. It is qrcode-generator's API (a
  // global qrcode(type, level) with addData, make, getModuleCount, isDark),
  // loaded as a script of its own before this one.
  function makeQr(content) {
    if (typeof window.qrcode !== 'function') return null;
    const qr = window.qrcode(0, 'M');  // the smallest type that holds it; 15% may be lost
    qr.addData(content);
    qr.make();
    const n = qr.getModuleCount(), margin = 4;  // the quiet zone a reader needs
    let path = '';
    for (let row = 0; row < n; ++row) {
      for (let column = 0; column < n; ++column) {
        if (qr.isDark(row, column)) path += `M${column + margin} ${row + margin}h1v1h-1z`;
      }
    }
    const side = n + 2 * margin;
    return `<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 ${side} ${side}" ` +
      `shape-rendering="crispEdges"><rect width="${side}" height="${side}" fill="#fff"/>` +
      `<path d="${path}" fill="#000"/></svg>`;
  }

  function showQr(link) {
    const picture = makeQr(link);
    $('share-qr-box').hidden = !picture;
    if (!picture) return;
    $('share-qr').src = typeof picture === 'string'
      ? 'data:image/svg+xml,' + encodeURIComponent(picture) : picture.toDataURL();
    $('share-qr').alt = `${text.qrAlt}: ${link}`;
  }

  // --- Buttons, keys and the script interface ---
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
    if (presenting) return;
    if (matchMedia('(min-width: 900px)').matches) canvas.scrollIntoView({block: 'nearest'});
    else $('run').scrollIntoView({block: 'start'});
  }

  function stepOnce() {
    if (!run.on || run.ended || run.frozen) return;
    run.mode = 'paused';
    advance(1);
    draw(true);
  }

  function play(mode) {
    if (!run.on || run.ended || run.frozen) return;
    stopRemote();  // to go on with the other mode's pictures
    run.mode = mode;
    run.lastTime = run.lastDraw = performance.now();
    draw(true);
  }

  function pause() {
    stopRemote();
    if (run.on && !run.ended) run.mode = 'paused';
    draw(true);
  }

  function end() {
    if (!run.on) return;
    stopRemote();
    run.mode = 'ended';
    run.ended = true;
    draw(true);
  }

  function share() {
    if (!checkAll()) return;
    const hash = linkHash();
    history.replaceState(null, '', hash);
    const link = location.href;
    $('share-link').textContent = link;
    showQr(link);
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
    $('quiet').addEventListener('click', () => play('quiet'));
    $('pause').addEventListener('click', pause);
    $('restart').addEventListener('click', () => { if (run.on) { setUpRun(run.params); draw(true); } });
    $('end').addEventListener('click', end);
    $('present').addEventListener('click', () => present());
    $('save-csv').addEventListener('click', () =>
      run.on && download(new Blob([csv()], {type: 'text/csv'}), fileName('csv')));
    $('save-png').addEventListener('click', () => run.on && savePicture());
    const showSpeed = () => {
      const rate = Speeds[$('speed').value];
      $('speed-value').textContent = rate === Infinity ? text.fastest : `${rate} ${text.perSecond}`;
      $('speed').setAttribute('aria-valuetext',
                              rate === Infinity ? text.fastestText : text.speedText(rate));
    };
    $('speed').addEventListener('input', showSpeed);
    showSpeed();
    // The classic program's keys, and F for the projector view, where no
    // field takes them; Esc leaves the projector view too.
    const keys = {l: stepOnce, n: () => play('play'), c: () => play('quiet'), v: end,
                  f: () => present()};
    document.addEventListener('keydown', event => {
      if (event.ctrlKey || event.metaKey || event.altKey) return;
      if (event.key === 'Escape' && presenting) {
        present(false);
        return;
      }
      const action = keys[event.key.toLowerCase()];
      if (!action || event.target.closest('input, select, textarea')) return;
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
              rSz: p.rSz, seed: p.seed, frozen: run.frozen, mode: run.on ? run.mode : null,
              bottom: m.bottom, wall_contacts: m.wall_contacts, interface: m.interface,
              mean_row: m.mean_row};
    },
    grid: () => (run.on ? core.grid().slice() : new Uint8Array(0)),
    // Up to n moves, n a whole number of 1 or more, for at most stepBudgetMs
    // ms (a script's call never holds the page for long), drawn once; the
    // moves made (0 before a run or after its end).
    step(n) {
      if (!Number.isInteger(n) || n < 1) {
        throw new RangeError(`lemvaris.step(n): n must be a whole number of 1 or more, not ${
          typeof n === 'string' ? JSON.stringify(n) : String(n)}`);
      }
      if (!run.on || run.ended) return 0;
      const made = advance(n, performance.now() + StepBudgetMs);
      draw(true);
      return made;
    },
    stepBudgetMs: StepBudgetMs,
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
  if (lang === 'en') $('classic-link').href = 'classic.html?lang=en';
  // Each number in a span of its own, its unit beside it.
  for (const [id, unit] of [['bottom', text.unitParticles], ['wall_contacts', text.unitParticles],
                            ['interface', text.unitPairs], ['mean_row', text.unitRows]]) {
    const number = document.createElement('span');
    number.className = 'number';
    number.textContent = '–';
    const word = document.createElement('span');
    word.className = 'unit';
    word.textContent = ' ' + unit;
    $('value-' + id).replaceChildren(number, word);
  }
  buildForm();
  readHash();
  makeChart();
  for (const id of ['step', 'play', 'quiet', 'pause', 'restart', 'end', 'save-csv',
                    'save-png']) {
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
    if (location.hash) {
      checkAll();
      followPreset();
    }
    $('start').disabled = false;
  }, error => { $('state').textContent = text.noCore + error; });
})();
