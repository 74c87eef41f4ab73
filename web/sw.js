// The lesson page's service worker: keeps the page's files so that after one
// visit the page loads and runs with no server. The network comes first, so
// a page put anew on the host is seen at once; the copy kept serves when the
// network fails. Only this page's own files are asked for; nothing is sent.
'use strict';
const CacheName = 'lemvaris-lesson';
const LessonFiles = ['./', 'index.html', 'lesson.css', 'lesson.js', 'lesson_worker.js',
                     'presets.js', 'lesson_core.js', 'lesson_core.wasm', 'uPlot.iife.min.js',
                     'uPlot.min.css', 'manifest.webmanifest', 'icon.svg', 'icon-192.png'];

self.addEventListener('install', event => {
  event.waitUntil(caches.open(CacheName).then(cache => cache.addAll(LessonFiles))
                    .then(() => self.skipWaiting()));
});

self.addEventListener('activate', event => event.waitUntil(self.clients.claim()));

// Same-origin reads: from the network, keeping a copy; from the copy when
// the network fails (a link's query, ?lang=en, finds the same file).
self.addEventListener('fetch', event => {
  const request = event.request;
  if (request.method !== 'GET' || new URL(request.url).origin !== self.location.origin) return;
  event.respondWith(fetch(request).then(response => {
    if (response.ok) {
      const copy = response.clone();
      caches.open(CacheName).then(cache => cache.put(request, copy));
    }
    return response;
  }).catch(() => caches.match(request, {ignoreSearch: true})
                 .then(kept => kept || Response.error())));
});
