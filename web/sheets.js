// The worksheets (worksheet.html?experiment=ID) and the teacher's guide
// (teacher.html), written from the experiments (presets.js, from
// data/experiments.json) so that nothing there is said twice: a claim is
// worded from its fields, and {at}, {measure} and the parameters' names in
// braces in a question are filled in from them. Hungarian unless ?lang=en.
'use strict';
(function () {
  const Texts = {
    hu: {
      worksheet: 'Munkalap', guide: 'Tanári útmutató', lesson: 'A tanórai oldal',
      other: 'English', student: 'Név:', group: 'Osztály:', date: 'Dátum:',
      watch: 'Mit figyeljen:', settings: 'Beállítás', open: 'Nyissa meg a kísérletet:',
      qr: 'QR-kód: a kísérlet a tanórai oldalon',
      kinds: {predict: 'Jóslat', observe: 'Megfigyelés', explain: 'Magyarázat'},
      ratio: 'hányados', column: 'a CSV-ben',
      choose: 'Válasszon kísérletet:', unknown: 'Nincs ilyen kísérlet:',
      labels: {bottom: 'alsó sor', wall_contacts: 'falérintés', interface: 'határfelület',
               mean_row: 'átlagos sor'},
      measures: {bottom: 'az alsó sor részecskéinek száma', wall_contacts: 'a falérintések száma',
                 interface: 'a határfelület', mean_row: 'az átlagos sor'},
      quoted: label => `${/^[aáeéiíoóöőuúüű]/i.test(label) ? 'az' : 'a'} „${label}”`,
      atLeast: 'legalább', atMost: 'legfeljebb',
      claim: (c, m, v) => c.relative_to_start ?
        `T = ${c.at}-kor ${m} osztva a T = 0-kori értékével ${v}.` :
        `T = ${c.at}-kor ${m} ${v}.`,
      intro: 'Minden kísérlethez van munkalap (nyomtatva egy A4-es oldal, QR-kóddal) ' +
             'és link, amely a tanórai oldalt a kísérlet beállításával nyitja meg. ' +
             'A tanulók a grafikonról vagy a letöltött CSV-ből olvassák le a számokat.',
      aim: 'Cél', see: 'Mit lát az osztály', claimTitle: 'Amit a program állít',
      time: 'Idő', minutes: n => `${n} perc`, questions: 'A munkalap kérdései',
      sheetLink: name => `Munkalap: ${name}`,
      pageLink: name => `Megnyitás a tanórai oldalon: ${name}`,
      number: v => String(v).replace('.', ','),
    },
    en: {
      worksheet: 'Worksheet', guide: "Teacher's guide", lesson: 'The lesson page',
      other: 'Magyar', student: 'Name:', group: 'Class:', date: 'Date:',
      watch: 'What to watch:', settings: 'Settings', open: 'Open the experiment:',
      qr: 'QR code: the experiment on the lesson page',
      kinds: {predict: 'Predict', observe: 'Observe', explain: 'Explain'},
      ratio: 'ratio', column: 'in the CSV',
      choose: 'Choose an experiment:', unknown: 'There is no such experiment:',
      labels: {bottom: 'bottom row', wall_contacts: 'wall contacts', interface: 'interface',
               mean_row: 'mean row'},
      measures: {bottom: 'the number of particles in the bottom row',
                 wall_contacts: 'the number of wall contacts', interface: 'the interface',
                 mean_row: 'the mean row'},
      quoted: label => `the “${label}”`,
      atLeast: 'at least', atMost: 'at most',
      claim: (c, m, v) => c.relative_to_start ?
        `At T = ${c.at}, ${m} divided by its value at T = 0 is ${v}.` :
        `At T = ${c.at}, ${m} is ${v}.`,
      intro: 'Every experiment has a worksheet (one A4 page in print, with a QR code) and a ' +
             'link that opens the lesson page with its settings. The students read the ' +
             'numbers off the chart or the downloaded CSV.',
      aim: 'Aim', see: 'What the class should see', claimTitle: 'What the program claims',
      time: 'Time', minutes: n => `${n} minutes`, questions: "The worksheet's questions",
      sheetLink: name => `Worksheet: ${name}`, pageLink: name => `Open on the lesson page: ${name}`,
      number: v => String(v),
    },
  };
  const Parameters = ['N', 'M', 'K', 'Ah', 'Kh', 'G', 'rSz'];
  const query = new URLSearchParams(location.search);
  const lang = query.get('lang') === 'en' ? 'en' : 'hu';
  const text = Texts[lang];
  const Experiments = window.LemvarisExperiments || [];

  function element(tag, attributes = {}, ...children) {
    const e = document.createElement(tag);
    for (const [name, value] of Object.entries(attributes)) e.setAttribute(name, value);
    e.append(...children);
    return e;
  }

  // The lesson page with the experiment's parameters and seed (lesson.js's
  // readHash), in this page's language.
  function lessonLink(e) {
    const values = Parameters.map(p => `${p}=${e.params[p]}`).concat(`seed=${e.seed}`);
    return `index.html${lang === 'en' ? '?lang=en' : ''}#${values.join('&')}`;
  }

  const sheetLink = e => `worksheet.html?experiment=${encodeURIComponent(e.id)}` +
                         (lang === 'en' ? '&lang=en' : '');

  function claimWords(e) {
    const c = e.claim;
    const bound = `${c.compare === '>=' ? text.atLeast : text.atMost} ${text.number(c.value)}`;
    return text.claim(c, text.measures[c.measure], bound);
  }

  // The claim as the batch runner's table has it: column names and T.
  function claimFormula(e) {
    const c = e.claim;
    const at = `${c.measure}(T=${c.at})`;
    const left = c.relative_to_start ? `${at} / ${c.measure}(T=0)` : at;
    return `${left} ${c.compare === '>=' ? '≥' : '≤'} ${c.value}`;
  }

  function fill(question, e) {
    return question.replace(/\{(\w+)\}/g, (whole, name) => {
      if (name === 'at') return String(e.claim.at);
      if (name === 'measure') return text.quoted(text.labels[e.claim.measure]);
      if (name in e.params) return text.number(e.params[name]);
      throw new Error(`${e.id}: no value for ${whole}`);
    });
  }

  const settings = e => Parameters.map(p => `${p} = ${text.number(e.params[p])}`)
    .concat(`seed = ${e.seed}`).join(', ');

  function languageSwitch(id) {
    const other = new URLSearchParams(location.search);
    if (lang === 'en') other.delete('lang');
    else other.set('lang', 'en');
    const search = other.toString();
    const link = element('a', {id: 'lang-switch', href: search ? `?${search}` : location.pathname,
                               lang: lang === 'en' ? 'hu' : 'en'}, text.other);
    document.getElementById(id).append(link);
  }

  function header() {
    document.documentElement.lang = lang;
    const suffix = lang === 'en' ? '?lang=en' : '';
    const nav = document.getElementById('nav');
    nav.append(element('a', {href: `index.html${suffix}`}, text.lesson));
    if (document.body.dataset.page !== 'teacher') {
      nav.append(element('a', {id: 'teacher-link', href: `teacher.html${suffix}`}, text.guide));
    }
    languageSwitch('nav');
  }

  // --- The worksheet ---
  function worksheet() {
    const sheet = document.getElementById('sheet');
    const id = query.get('experiment');
    const e = Experiments.find(x => x.id === id);
    if (!e) {
      document.title = `Lemvaris – ${text.worksheet}`;
      const list = element('ul');
      for (const x of Experiments) {
        list.append(element('li', {}, element('a', {href: sheetLink(x)}, x[lang].name)));
      }
      sheet.append(element('h1', {}, text.worksheet),
                   element('p', {}, id ? `${text.unknown} ${id}. ${text.choose}` : text.choose),
                   list);
      return;
    }
    const t = e[lang];
    document.title = `Lemvaris – ${text.worksheet}: ${t.name}`;
    const blanks = element('p', {class: 'blanks'});
    for (const label of [text.student, text.group, text.date]) {
      blanks.append(element('span', {}, label, element('span', {class: 'blank'})));
    }
    const link = lessonLink(e);
    const qr = qrcode(0, 'M');
    qr.addData(new URL(link, location.href).href);
    qr.make();
    const code = element('div', {id: 'qr'});
    code.innerHTML = qr.createSvgTag({cellSize: 4, margin: 16, scalable: true, title: text.qr});
    const setup = element('section', {class: 'setup'}, code,
      element('h2', {}, text.settings), element('p', {}, settings(e)),
      element('p', {}, text.open, ' ', element('a', {id: 'lesson-link', href: link},
                                                   new URL(link, location.href).href)));
    const questions = element('ol', {class: 'questions'});
    for (const kind of ['predict', 'observe', 'explain']) {
      const item = element('li', {class: 'question', 'data-kind': kind},
                           element('h2', {}, text.kinds[kind]),
                           element('p', {}, fill(t.questions[kind], e)));
      if (kind === 'observe') item.append(numbersTable(e));
      item.append(element('div', {class: 'answer'}));
      questions.append(item);
    }
    sheet.append(element('h1', {}, `${text.worksheet}: ${t.name}`), blanks,
                 element('p', {class: 'watch'}, element('strong', {}, text.watch), ' ', t.watch),
                 setup, questions);
  }

  // Room for the claim's measure at the start and at T = at, and their ratio.
  function numbersTable(e) {
    const c = e.claim;
    const row = (cell, ...cells) => element('tr', {}, cell, ...cells);
    const column = h => element('th', {scope: 'col'}, h);
    const head = row(column(text.labels[c.measure]),
                     ...[`T = 0`, `T = ${c.at}`, text.ratio].map(column));
    const body = row(element('th', {scope: 'row'}, `${text.column}: ${c.measure}`),
                     element('td'), element('td'), element('td'));
    return element('table', {class: 'numbers'}, element('thead', {}, head),
                   element('tbody', {}, body));
  }

  // --- The teacher's guide ---
  function guide() {
    document.title = `Lemvaris – ${text.guide}`;
    const main = document.getElementById('guide');
    main.append(element('h1', {}, text.guide), element('p', {}, text.intro));
    for (const e of Experiments) {
      const t = e[lang];
      const questions = element('ol');
      for (const kind of ['predict', 'observe', 'explain']) {
        questions.append(element('li', {}, `${text.kinds[kind]}: ${fill(t.questions[kind], e)}`));
      }
      const facts = element('dl');
      const fact = (term, ...value) =>
        facts.append(element('dt', {}, term), element('dd', {}, ...value));
      fact(text.aim, t.aim);
      fact(text.see, t.see);
      fact(text.claimTitle, element('span', {class: 'claim'}, claimWords(e)), ' ',
           element('code', {class: 'formula'}, claimFormula(e)));
      fact(text.time, text.minutes(e.minutes));
      fact(text.settings, settings(e));
      fact(text.questions, questions);
      const links = element('p', {class: 'links'},
        element('a', {class: 'worksheet-link', href: sheetLink(e)}, text.sheetLink(t.name)),
        element('a', {class: 'lesson-link', href: lessonLink(e)}, text.pageLink(t.name)));
      const section = element('section', {class: 'experiment', id: e.id,
                                          'aria-labelledby': `${e.id}-name`});
      section.append(element('h2', {id: `${e.id}-name`}, t.name), facts, links);
      main.append(section);
    }
  }

  header();
  if (document.body.dataset.page === 'teacher') guide();
  else worksheet();
})();
