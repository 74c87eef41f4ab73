// What every page shares: the service worker that keeps the site for use
// offline, a look for a new version now and then (a classroom's tab may stay
// open for days), the notice when one has come while the page was open, and
// the teacher's guide's link in the page's language.
'use strict';
(function () {
  const Version = '@SITE_VERSION@';  // this page's version, written by the build
  const Texts = {
    hu: {update: 'Új változat: töltse újra az oldalt.', reload: 'Újratöltés',
         guide: 'Tanári útmutató'},
    en: {update: 'New version: reload the page.', reload: 'Reload', guide: "Teacher's guide"},
  };
  const lang = new URLSearchParams(location.search).get('lang') === 'en' ? 'en' : 'hu';
  const text = Texts[lang];

  const guide = document.getElementById('teacher-link');
  if (guide && lang === 'en') {
    guide.textContent = text.guide;
    guide.href = 'teacher.html?lang=en';
  }

  if (!('serviceWorker' in navigator)) return;
  const notice = document.createElement('div');
  notice.id = 'update';
  notice.setAttribute('role', 'status');
  notice.hidden = true;
  Object.assign(notice.style, {
    position: 'fixed', left: '12px', right: '12px', bottom: '12px', zIndex: '10',
    padding: '8px 12px', background: '#ff5', color: '#000', textAlign: 'center',
    borderRadius: '4px', fontFamily: 'system-ui, sans-serif',
  });
  document.body.append(notice);

  function announce() {
    if (!notice.hidden) return;
    const reload = document.createElement('button');
    reload.type = 'button';
    reload.textContent = text.reload;
    reload.addEventListener('click', () => location.reload());
    notice.append(text.update + ' ', reload);
    notice.hidden = false;
  }

  // The service worker names the version it serves when it takes over.
  navigator.serviceWorker.addEventListener('message', ({data}) => {
    if (data && data.version && data.version !== Version) announce();
  });
  navigator.serviceWorker.register('sw.js').then(registration => {
    const look = () => registration.update().catch(() => {});
    document.addEventListener('visibilitychange', () => {
      if (document.visibilityState === 'visible') look();
    });
    window.addEventListener('online', look);
    setInterval(look, 30 * 60 * 1000);
  }, () => {});
})();
