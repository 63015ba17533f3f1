// Serves a folder of static files on 127.0.0.1, as any web host would: GET and HEAD only, the
// usual content types (WebAssembly's among them), nothing outside the folder.
//
//   node web/serve.mjs DIR [PORT]    prints http://127.0.0.1:PORT/ and serves until stopped
//
// The browser test imports serveFolder() to serve the page it loads.
import { createReadStream } from "node:fs";
import { stat } from "node:fs/promises";
import { createServer } from "node:http";
import { extname, join, resolve, sep } from "node:path";
import { fileURLToPath } from "node:url";

const kTypes = {
  ".html": "text/html; charset=utf-8",
  ".js": "text/javascript; charset=utf-8",
  ".mjs": "text/javascript; charset=utf-8",
  ".json": "application/json",
  ".wasm": "application/wasm",
  ".png": "image/png",
  ".txt": "text/plain; charset=utf-8",
};

// Starts serving `folder`; resolves to the server once it listens (port 0: any free port).
export function serveFolder(folder, port = 0) {
  const root = resolve(folder);
  const server = createServer(async (request, response) => {
    if (request.method !== "GET" && request.method !== "HEAD") {
      response.writeHead(405, { Allow: "GET, HEAD" }).end();
      return;
    }
    let path;
    try {
      path = decodeURIComponent(new URL(request.url, "http://localhost").pathname);
    } catch {
      response.writeHead(400).end();
      return;
    }
    if (path.endsWith("/")) path += "index.html";
    const file = resolve(join(root, path));
    if (file !== root && !file.startsWith(root + sep)) {
      response.writeHead(403).end();
      return;
    }
    let info;
    try {
      info = await stat(file);
    } catch {
      info = null;
    }
    if (!info || !info.isFile()) {
      response.writeHead(404, { "Content-Type": "text/plain" }).end("not found\n");
      return;
    }
    response.writeHead(200, {
      "Content-Type": kTypes[extname(file)] ?? "application/octet-stream",
      "Content-Length": info.size,
      "Cache-Control": "no-cache",
    });
    if (request.method === "HEAD") {
      response.end();
      return;
    }
    createReadStream(file).on("error", () => response.destroy()).pipe(response);
  });
  return new Promise((resolveListening, reject) => {
    server.once("error", reject);
    server.listen(port, "127.0.0.1", () => resolveListening(server));
  });
}

if (process.argv[1] && resolve(process.argv[1]) === fileURLToPath(import.meta.url)) {
  const [folder, port] = process.argv.slice(2);
  if (!folder) {
    console.error("usage: node web/serve.mjs DIR [PORT]");
    process.exit(2);
  }
  const server = await serveFolder(folder, port ? Number(port) : 0);
  console.log(`http://127.0.0.1:${server.address().port}/`);
}
