// The pages' service worker: keeps every file of this version of the site
// (web/site.cmake writes the lists) so that after one visit every page loads
// and runs with no server. The pages (names that stay) come from the network
// first, asked past the browser's own cache, so a new version on the host is
// seen at once; the copy kept serves when the network fails. Every other
// file has its content's hash in its name, so a copy kept is never stale.
// Only this site's own files are asked for; nothing is sent.
'use strict';
const Version = '@SITE_VERSION@';
const Pages = [/* @SITE_PAGES@ */];
const Assets = [/* @SITE_ASSETS@ */];
const Prefix = 'lemvaris';
const CacheName = `${Prefix}-${Version}`;
const AssetSet = new Set(Assets);

// The name a request is kept under: without query or fragment
// (worksheet.html?experiment=drops is worksheet.html), and a folder as its
// index.html, so that / and index.html are one page.
function keyOf(url) {
  const u = new URL(url);
  u.search = '';
  u.hash = '';
  if (u.pathname.endsWith('/')) u.pathname += 'index.html';
  return u.href;
}

self.addEventListener('install', event => {
  const requests = [...Pages.map(p => new Request(p, {cache: 'no-cache'})), ...Assets];
  event.waitUntil(caches.open(CacheName).then(cache => cache.addAll(requests))
                    .then(() => self.skipWaiting()));
});

// Older versions' copies go; the open pages are told which version now
// serves them (site.js says "new version" where it is not theirs).
self.addEventListener('activate', event => {
  event.waitUntil(caches.keys()
    .then(names => Promise.all(names.filter(n => n.startsWith(Prefix) && n !== CacheName)
                                    .map(n => caches.delete(n))))
    .then(() => self.clients.claim())
    .then(() => self.clients.matchAll({type: 'window', includeUncontrolled: true}))
    .then(windows => windows.forEach(w => w.postMessage({version: Version}))));
});

// A page from the host, past the browser's cache (a navigation keeps its
// own mode: a redirect stays the browser's to follow). It is not kept: this
// version's cache holds this version's pages only, which name the files
// kept beside them, even while a newer page is served.
function fromNetwork(request) {
  return fetch(new Request(request, {cache: 'no-cache'}));
}

// A file of this version missing from its cache: kept once fetched.
function fetchAndKeep(request, key) {
  return fetch(request).then(response => {
    if (response.ok && response.type === 'basic') {
      const copy = response.clone();
      caches.open(CacheName).then(cache => cache.put(key, copy));
    }
    return response;
  });
}

// This version's copy first: an older cache not yet dropped may hold an
// older page under the same name.
function kept(key) {
  return caches.open(CacheName).then(cache => cache.match(key))
    .then(found => found || caches.match(key));
}

self.addEventListener('fetch', event => {
  const request = event.request;
  if (request.method !== 'GET' || new URL(request.url).origin !== self.location.origin) return;
  const key = keyOf(request.url);
  const name = key.slice(self.registration.scope.length);
  if (AssetSet.has(name)) {
    event.respondWith(kept(key).then(found => found || fetchAndKeep(request, key)));
    return;
  }
  event.respondWith(fromNetwork(request).catch(() => kept(key)
    .then(found => found || Response.error())));
});
