// The web page in a real browser: Debian's chromium, headless, driven through playwright-core,
// loads the page from a local server and plays the presentation as a viewer sees it, paced by the
// page's refreshes. Checked against the native program, run here unpaced and headless on the same
// data: the frames so far have the native frame hashes; the canvas and a screenshot of the page
// at a chosen frame are the native capture of that frame, pixel for pixel; the Web Audio context
// runs, silent through the cartoon's first act and with sound once its second act starts; the
// debug log's lines reach the browser's console; Escape ends the presentation and the page offers
// to play again. It prints the frame drawing times, the missed refreshes and the load times.
//
// --paced-frames N plays N paced frames instead of 720 (3000 for the drawing times and missed
// refreshes over the first 3000 frames); --hashes off leaves the frame hashes out of the paced run
// (each costs the page almost a millisecond), for those measurements. With --unpaced-frames N it
// also plays the first N frames
// unpaced (the page's address sets FX_GLIDE_SWAPINTERVAL=0) and compares every one with the
// native program's: 2971 is the whole cartoon and title, 30000 the whole presentation to its end.
//
//   node tests/web/page-test.mjs --page DIR --native BUILD_DIR --playwright NODE_MODULES_DIR
//                                [--paced-frames N] [--hashes off] [--unpaced-frames N]
import { spawnSync } from "node:child_process";
import { mkdirSync, mkdtempSync, readFileSync, readdirSync, rmSync, symlinkSync } from "node:fs";
import { loadavg, tmpdir } from "node:os";
import { join, resolve } from "node:path";
import { pathToFileURL } from "node:url";
import { serveFolder } from "../../web/serve.mjs";

const kPacedFrames = 720;             // by default: into the cartoon's second act (frame 512 on)
const kCaptureFrame = 640;            // the hi-fi picture half revealed, the suit, the words
const kFirstActEnd = 500;             // the first act is silent
const kSecondActSound = 560;          // the groove plays from frame 512

const options = {};
for (let i = 2; i + 1 < process.argv.length; i += 2) options[process.argv[i].replace(/^--/, "")] = process.argv[i + 1];
for (const name of ["page", "native", "playwright"]) {
  if (!options[name]) {
    console.error("usage: node tests/web/page-test.mjs --page DIR --native BUILD_DIR --playwright NODE_MODULES_DIR " +
                  "[--paced-frames N] [--unpaced-frames N]");
    process.exit(2);
  }
}
const pacedFrames = Number(options["paced-frames"] ?? kPacedFrames);
const unpacedFrames = Number(options["unpaced-frames"] ?? 0);
const pacedHashes = options.hashes !== "off";

let failures = 0;
function check(ok, what, detail = "") {
  console.log(`${ok ? "ok  " : "FAIL"} ${what}${detail ? ": " + detail : ""}`);
  if (!ok) failures++;
  return ok;
}

// ---- the native reference ------------------------------------------------------------------

// The native program on the build's data, unpaced and headless, ended by Escape at `frames`:
// its frame hash lines and the PNG capture of kCaptureFrame.
function nativeRun(work, frames) {
  const data = join(options.native, "data");
  const run = join(work, "native");
  mkdirSync(run, { recursive: true });
  for (const name of readdirSync(data)) symlinkSync(resolve(data, name), join(run, name));
  const env = {
    PATH: process.env.PATH,
    SDL_VIDEODRIVER: "dummy", SDL_AUDIODRIVER: "dummy",
    GLIDE_PRESENT: "none", FX_GLIDE_SWAPINTERVAL: "0", MIDAS_OUTPUT: "silent", MIDAS_CONFIG: "ok",
    GLIDE_FRAME_HASHES: join(work, "native-hashes.txt"),
    GLIDE_CAPTURE: join(work, "capture"), GLIDE_CAPTURE_FRAMES: String(kCaptureFrame),
    WIN32_INPUT: `${frames}:down:27`,
  };
  const result = spawnSync(resolve(options.native, "src/app/keldrin"), [], { cwd: run, env, encoding: "utf8" });
  // Escape's code, or the end of the last scene's (10) for a run longer than the presentation.
  if (result.status !== 0 && result.status !== 10) {
    throw new Error(`the native program ended with ${result.status}: ${result.stderr}`);
  }
  const lines = readFileSync(env.GLIDE_FRAME_HASHES, "utf8").split("\n").filter((line) => line);
  const capture = readFileSync(join(env.GLIDE_CAPTURE, String(kCaptureFrame).padStart(6, "0") + ".png"));
  return { lines, capture };
}

// The first frame where two hash logs differ, or null when `browser` is the start of `native`.
function firstDifference(browser, native) {
  for (let i = 0; i < browser.length; i++) {
    if (browser[i] !== native[i]) return `frame line ${i}: browser "${browser[i]}", native "${native[i] ?? "none"}"`;
  }
  return null;
}

// ---- the browser ---------------------------------------------------------------------------

async function waitFor(page, condition, argument, timeoutMs, what) {
  try {
    await page.waitForFunction(condition, argument, { timeout: timeoutMs, polling: 100 });
    return true;
  } catch (error) {
    const state = await page.evaluate(() => [keldrin.state(), keldrin.frames()]).catch(() => ["gone", 0]);
    check(false, what, `still ${state[0]} after ${state[1]} frames`);
    return false;
  }
}

// The pixels of two PNG images (base64) compared in the page: how many differ, and the largest
// difference of a channel.
async function comparePngs(page, aBase64, bBase64) {
  return page.evaluate(async ([a, b]) => {
    const pixels = async (base64) => {
      const blob = await (await fetch("data:image/png;base64," + base64)).blob();
      const bitmap = await createImageBitmap(blob, { colorSpaceConversion: "none", premultiplyAlpha: "none" });
      const canvas = new OffscreenCanvas(bitmap.width, bitmap.height);
      const context = canvas.getContext("2d");
      context.drawImage(bitmap, 0, 0);
      return context.getImageData(0, 0, bitmap.width, bitmap.height);
    };
    const [x, y] = [await pixels(a), await pixels(b)];
    if (x.width !== y.width || x.height !== y.height) return { sizes: `${x.width}x${x.height} and ${y.width}x${y.height}` };
    let differing = 0;
    let largest = 0;
    for (let i = 0; i < x.data.length; i += 4) {
      let pixel = 0;
      for (let c = 0; c < 3; c++) pixel = Math.max(pixel, Math.abs(x.data[i + c] - y.data[i + c]));
      if (pixel > 0) differing++;
      largest = Math.max(largest, pixel);
    }
    return { differing, largest };
  }, [aBase64, bBase64]);
}

// The value `fraction` of the way up the sorted values (0.5: the median).
function quantile(values, fraction) {
  const sorted = values.slice().sort((a, b) => a - b);
  return sorted.length ? sorted[Math.min(sorted.length - 1, Math.floor(fraction * sorted.length))] : NaN;
}

// The first `frames` frames unpaced, ended by Escape there, against the native run's.
async function unpacedRun(browser, base, native, frames) {
  const page = await browser.newPage({ viewport: { width: 640, height: 480 } });
  await page.goto(`${base}?autoplay&hashes&FX_GLIDE_SWAPINTERVAL=0&WIN32_INPUT=${frames}:down:27`);
  const start = Date.now();
  if (await waitFor(page, () => keldrin.state() === "ended", null, 3600000, "the unpaced run ends at its scripted Escape")) {
    const seconds = (Date.now() - start) / 1000;
    const hashes = await page.evaluate(() => keldrin.hashes());
    check(hashes.length === native.lines.length, `the unpaced run shows ${native.lines.length} frames as the native one does`,
          `${hashes.length} frames in ${seconds.toFixed(1)} s`);
    const difference = firstDifference(hashes, native.lines);
    check(difference === null, `every one of the ${hashes.length} unpaced frames has the native frame hash`, difference ?? "");
  }
  await page.close();
}

async function pacedRun(browser, base, native) {
  const page = await browser.newPage({ viewport: { width: 640, height: 480 } });
  const errors = [];
  const consoleLines = [];
  page.on("pageerror", (error) => errors.push(String(error)));
  page.on("console", (message) => consoleLines.push(message.text()));
  await page.goto(`${base}?autoplay${pacedHashes ? "&hashes" : ""}`);
  await page.evaluate((frame) => {
    window.heldReached = false;
    keldrin.holdAt(frame).then(() => { window.heldReached = true; });
  }, kCaptureFrame);
  const audio = [];  // [frames shown, context state, level], every 100 ms
  const sampler = setInterval(async () => {
    try {
      const [frames, state] = await page.evaluate(() => [keldrin.frames(), keldrin.audio()]);
      audio.push([frames, state.state, state.level]);
    } catch {
      // the page is busy closing
    }
  }, 100);

  if (await waitFor(page, () => window.heldReached === true, null, 60000, `the page reaches frame ${kCaptureFrame}`)) {
    const canvas = await page.evaluate(() => document.getElementById("canvas").toDataURL("image/png").split(",")[1]);
    const screenshot = (await page.locator("#canvas").screenshot()).toString("base64");
    const nativePng = native.capture.toString("base64");
    const drawn = await comparePngs(page, canvas, nativePng);
    check(drawn.differing === 0, `the canvas at frame ${kCaptureFrame} is the native capture`, JSON.stringify(drawn));
    const shown = await comparePngs(page, screenshot, nativePng);
    check(shown.differing === 0, `a screenshot of the page at frame ${kCaptureFrame} is the native capture`,
          JSON.stringify(shown));
    await page.evaluate(() => keldrin.release());
  }
  if (await waitFor(page, (frames) => keldrin.frames() >= frames, pacedFrames, 60000 + 100 * pacedFrames,
                    `the page shows ${pacedFrames} frames`)) {
    await page.keyboard.press("Escape");
    await waitFor(page, () => keldrin.state() === "ended", null, 10000, "Escape ends the presentation");
  }
  clearInterval(sampler);
  const result = await page.evaluate(() => ({
    hashes: keldrin.hashes(), exitCode: keldrin.exitCode(), swaps: keldrin.swaps(), timing: keldrin.timing(),
    again: !document.getElementById("panel").hidden && document.getElementById("start").textContent,
  }));
  check(result.exitCode === 0, "Escape's exit code is 0", String(result.exitCode));
  check(result.again === "Play again", "the page offers to play again", String(result.again));
  if (result.again === "Play again") {
    // A new run of the program from its start, the same frames again.
    await page.click("#start");
    if (await waitFor(page, () => keldrin.frames() >= 60, null, 30000, "playing again shows frames")) {
      if (pacedHashes) {
        const again = await page.evaluate(() => keldrin.hashes());
        const differenceAgain = firstDifference(again, native.lines);
        check(again.length >= 60 && differenceAgain === null, "playing again draws the native frames from the first",
              differenceAgain ?? `${again.length} frames`);
      }
    }
  }
  if (pacedHashes) {
    const difference = firstDifference(result.hashes, native.lines);
    check(result.hashes.length >= pacedFrames && difference === null,
          `the paced run's ${result.hashes.length} frames have the native frame hashes`, difference ?? "");
  }

  const firstAct = audio.filter(([frames]) => frames > 30 && frames < kFirstActEnd);
  const secondAct = audio.filter(([frames]) => frames >= kSecondActSound && frames <= 1700);
  check(firstAct.length > 0 && firstAct.every(([, state]) => state === "running"), "the audio context runs",
        [...new Set(audio.map(([, state]) => state))].join(", "));
  check(firstAct.every(([, , level]) => level === 0), "the cartoon's first act is silent",
        `largest level ${Math.max(...firstAct.map(([, , level]) => level))}`);
  const loudest = Math.max(...secondAct.map(([, , level]) => level));
  check(secondAct.length > 0 && loudest > 0.01, "the cartoon's second act has sound", `largest RMS level ${loudest}`);
  check(errors.length === 0, "no script errors on the page", errors.join("; "));
  check(consoleLines.includes("debug.log: start:cartoon") && consoleLines.includes("debug.log: MIDAS: starting"),
        "the debug log's lines reach the browser's console");

  const period = 1000 / 60;
  // The test holds the program at kCaptureFrame while it compares the canvas; the swaps that
  // catch up after the hold are late by the test's doing and are left out.
  let resumed = kCaptureFrame;
  while (resumed < result.swaps.length && result.swaps[resumed][1] > period / 2) ++resumed;
  const counted = result.swaps.slice(0, 3000).filter((_, i) => i < kCaptureFrame || i >= resumed);
  const missed = counted.filter(([, late]) => late > period / 2).length;
  const drawMs = counted.map(([draw]) => draw);
  console.log(`paced: ${counted.length} swaps (${resumed - kCaptureFrame} catching up after the test's hold left out), frame drawing time median ${quantile(drawMs, 0.5).toFixed(2)} ms, ` +
              `90th percentile ${quantile(drawMs, 0.9).toFixed(2)} ms; ${missed} missed their refresh ` +
              `(${(100 * missed / Math.max(1, counted.length)).toFixed(2)} %); load average ${loadavg()[0].toFixed(2)}`);
  console.log(`load: files loaded at ${result.timing.loaded.toFixed(0)} ms, first frame ` +
              `${(result.timing.firstFrame - result.timing.started).toFixed(0)} ms after the start`);
  await page.close();
}

const work = mkdtempSync(join(tmpdir(), "keldrin-web-test-"));
let server = null;
let browser = null;
try {
  // Both runs end by Escape at the same frame, the paced one well before it.
  const escapeFrame = Math.max(pacedFrames + 100, unpacedFrames);
  const native = nativeRun(work, escapeFrame);
  check(native.lines.length > pacedFrames, "the native reference run", `${native.lines.length} frames`);
  server = await serveFolder(options.page);
  const base = `http://127.0.0.1:${server.address().port}/`;
  const { chromium } = await import(pathToFileURL(join(options.playwright, "playwright-core/index.mjs")).href);
  browser = await chromium.launch({
    executablePath: "/usr/bin/chromium",
    // Sound without a click (the test's page has no viewer), and nothing that would reach for a
    // network this machine may not have.
    args: ["--autoplay-policy=no-user-gesture-required", "--disable-background-networking",
           "--disable-component-update", "--disable-sync", "--no-first-run", "--disable-quic"],
  });
  await pacedRun(browser, base, native);
  if (unpacedFrames > 0) await unpacedRun(browser, base, native, escapeFrame);
} catch (error) {
  check(false, "the test ran to its end", String(error && error.stack || error));
} finally {
  if (browser) await browser.close();
  if (server) server.close();
  rmSync(work, { recursive: true, force: true });
}
console.log(failures === 0 ? "web page test passed" : `web page test: ${failures} failed`);
process.exit(failures === 0 ? 0 : 1);
