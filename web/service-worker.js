// Keeps the page's files so that it opens without a network. Every request
// goes to the network first, so a page that is online always runs the files
// the server has now, all of one build; the kept copies answer only when the
// network does not.
"use strict";

const cacheName = "lirrevo-page";
const pageFiles = [
  "lirrevo.html", "lirrevo-page.js", "lirrevo-core.js", "codemirror.js", "codemirror.css",
  "fflate.js", "info.html", "manifest.webmanifest", "lirrevo.svg", "lirrevo-48.png",
  "lirrevo-128.png", "lirrevo-256.png",
];

self.addEventListener("install", (event) => {
  event.waitUntil(caches.open(cacheName).then((cache) => cache.addAll(pageFiles))
    .then(() => self.skipWaiting()));
});

self.addEventListener("activate", (event) => event.waitUntil(self.clients.claim()));

// A whole answer from the network is kept (a partial one cannot be) while
// the page goes on with it.
async function fromNetworkOrKept(event) {
  const cache = await caches.open(cacheName);
  try {
    const response = await fetch(event.request);
    if (response.status === 200) event.waitUntil(cache.put(event.request, response.clone()));
    return response;
  } catch (error) {
    const kept = await cache.match(event.request, { ignoreSearch: true });
    if (kept) return kept;
    throw error;
  }
}

self.addEventListener("fetch", (event) => {
  const request = event.request;
  if (request.method !== "GET" || new URL(request.url).origin !== self.location.origin) return;
  event.respondWith(fromNetworkOrKept(event));
});
