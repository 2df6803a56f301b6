// Download with Zenvira: the toolbar button sends the page's address, the context menu the
// page, link or video it was opened on. Each goes through native messaging to the host
// "net.zenvira.host" (zenvira-cli native-host), which adds it to Zenvira's queue and answers
// {"ok": true, "id": ENTRY} or {"ok": false, "error": SENTENCE}.
const api = globalThis.browser ?? globalThis.chrome;
const HOST = "net.zenvira.host";
const MENU = "download-with-zenvira";

function isWebAddress(address) {
  return typeof address === "string" && /^https?:\/\/[^\s/?#]+/i.test(address);
}

// The address a click stands for: a video's source, a link's target, else the page.
function addressOf(info, tab) {
  for (const address of [info?.srcUrl, info?.linkUrl, info?.pageUrl, tab?.url])
    if (isWebAddress(address)) return address;
  return "";
}

function showAnswer(answer, tab) {
  const ok = answer && answer.ok === true;
  const text = ok ? "Added to Zenvira" : (answer && answer.error) || "Zenvira did not answer";
  api.action.setBadgeText({text: ok ? "\u2713" : "!", tabId: tab?.id}).catch(() => {});
  api.action.setTitle({title: text, tabId: tab?.id}).catch(() => {});
}

// Sends one address; resolves with the host's answer (an error answer when none came).
async function downloadWithZenvira(info, tab) {
  const url = addressOf(info, tab);
  const message = {action: "add", url, page: info?.pageUrl || tab?.url || "", title: tab?.title || ""};
  let answer;
  if (!url) {
    answer = {ok: false, error: "Only http and https addresses can be downloaded."};
  } else {
    try {
      answer = await api.runtime.sendNativeMessage(HOST, message);
    } catch (error) {
      answer = {ok: false, error: "Zenvira's native host cannot be reached: " + (error?.message || error)};
    }
  }
  showAnswer(answer, tab);
  return answer;
}
globalThis.downloadWithZenvira = downloadWithZenvira;

function createMenu() {
  api.contextMenus.removeAll(() => {
    api.contextMenus.create({id: MENU, title: "Download with Zenvira", contexts: ["page", "link", "video"]});
  });
}
api.runtime.onInstalled.addListener(createMenu);
api.runtime.onStartup?.addListener(createMenu);
api.contextMenus.onClicked.addListener((info, tab) => {
  if (info.menuItemId === MENU) downloadWithZenvira(info, tab);
});
api.action.onClicked.addListener((tab) => downloadWithZenvira({pageUrl: tab.url}, tab));
