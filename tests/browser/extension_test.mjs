// The Zenvira extension in a real Chromium: headless, the unpacked extension loaded, the
// native host registered in the test's own profile, a page served on 127.0.0.1. The extension
// sends the page's video link through Chromium's native messaging to zenvira-cli native-host,
// and the entry must be in the queue the host was told of.
//
//   node extension_test.mjs CHROMIUM EXTENSION_DIR HOST_MANIFEST WORK_DIR
// Exit 0 passed, 1 failed, 77 skipped (Chromium cannot start here; the reason is printed).
import {execFileSync} from "node:child_process";
import {createRequire} from "node:module";
import fs from "node:fs";
import http from "node:http";
import path from "node:path";

const [chromium, extensionDir, hostManifest, workDir, cli] = process.argv.slice(2);
const SKIP = 77;
const require = createRequire(import.meta.url);
let puppeteer;
try {
  puppeteer = require(process.env.ZENVIRA_PUPPETEER || "puppeteer-core");
} catch (error) {
  console.log("SKIP: puppeteer-core is not installed (tools/install-deps.sh installs it): " + error.message);
  process.exit(SKIP);
}
if (!chromium || !fs.existsSync(chromium)) {
  console.log("SKIP: no Chromium at " + chromium);
  process.exit(SKIP);
}

function fail(message) {
  console.error("FAIL: " + message);
  process.exitCode = 1;
}

// The fixture page: a title, a video and a link to it.
const server = http.createServer((request, response) => {
  if (request.url === "/watch") {
    response.writeHead(200, {"content-type": "text/html"});
    response.end('<!doctype html><title>Sea and sky</title><video src="/sea.mp4"></video><a id="v" href="/sea.mp4">sea</a>');
  } else {
    response.writeHead(404);
    response.end();
  }
});
await new Promise((resolve) => server.listen(0, "127.0.0.1", resolve));
const site = `http://127.0.0.1:${server.address().port}`;

fs.rmSync(workDir, {recursive: true, force: true});
const profile = path.join(workDir, "profile");
const queue = path.join(workDir, "queue");
fs.mkdirSync(path.join(profile, "NativeMessagingHosts"), {recursive: true});
fs.copyFileSync(hostManifest, path.join(profile, "NativeMessagingHosts", "net.zenvira.host.json"));

let browser;
try {
  browser = await puppeteer.launch({
    executablePath: chromium,
    headless: true,
    pipe: true,
    enableExtensions: true,
    userDataDir: profile,
    args: ["--no-sandbox", "--no-first-run", "--disable-gpu", "--no-proxy-server"],
    env: {...process.env, ZENVIRA_QUEUE: queue, HOME: workDir, ZENVIRA_NO_GUI_START: "1"},
    timeout: 60000,
  });
} catch (error) {
  console.log("SKIP: Chromium cannot start: " + error.message.split("\n")[0]);
  server.close();
  process.exit(SKIP);
}

try {
  const id = await browser.installExtension(extensionDir);
  if (id !== "mciimnipkcmfmhnlnbpblnmfnglofklh") fail("the extension's id is " + id + ", not the one the host allows");
  const workerTarget = await browser.waitForTarget(
      (t) => t.type() === "service_worker" && t.url().startsWith(`chrome-extension://${id}/`), {timeout: 30000});
  const worker = await workerTarget.worker();

  const page = await browser.newPage();
  await page.goto(site + "/watch");
  const title = await page.title();

  // The context menu entry is there (updating an entry that is not there fails).
  const menu = await worker.evaluate(() => new Promise((resolve) => {
    chrome.contextMenus.update("download-with-zenvira", {}, () => resolve(chrome.runtime.lastError?.message || "ok"));
  }));
  if (menu !== "ok") fail("no context menu entry: " + menu);

  // What a click on "Download with Zenvira" over the link does, with what the menu passes.
  const answer = await worker.evaluate((pageUrl, linkUrl, title) =>
      downloadWithZenvira({menuItemId: "download-with-zenvira", pageUrl, linkUrl}, {url: pageUrl, title}),
      site + "/watch", site + "/sea.mp4", title);
  console.log("answer: " + JSON.stringify(answer));
  if (answer?.ok !== true || !Number.isInteger(answer?.id)) fail("the host did not add the link: " + JSON.stringify(answer));

  // A page that is not on the web is refused before anything is sent.
  const local = await worker.evaluate(() => downloadWithZenvira({pageUrl: "file:///etc/passwd"}, {url: "file:///etc/passwd"}));
  if (local?.ok !== false) fail("a file: page was sent: " + JSON.stringify(local));

  const queued = fs.existsSync(queue)
      ? execFileSync(cli, ["queue", "list", "--json", "--queue", queue], {encoding: "utf8"}) : "";
  if (!queued.includes(site + "/sea.mp4") || !queued.includes("Sea and sky") || !queued.includes(site + "/watch"))
    fail("the queue does not hold the entry: " + JSON.stringify(queued));
} catch (error) {
  fail(error.stack || String(error));
} finally {
  await browser.close();
  server.close();
}
