"""Usage: python3 Bootstrapper/scripts/headless_chromium.py diagram PLAN.md PICTURE.png
       python3 Bootstrapper/scripts/headless_chromium.py page PAGE.html PICTURE.png
       python3 Bootstrapper/scripts/headless_chromium.py libraries

What an author sees, shown by headless Chromium (Debian's chromium): the Mermaid diagram
of a plan (the first ```mermaid block of PLAN.md, bootstrapper-check --format=markdown's
output) rendered by the mermaid library, or a page such as try's report, saved as a
picture. demo.sh makes its pictures with it; the end-to-end tests also render Markdown
with markdown-it (the tables as GitHub's flavour reads them) and look at each picture on
a page.

The libraries come from the npm registry at the versions Bootstrapper/tests/browser's
package-lock.json pins, installed once (npm ci) into $BOOTSTRAPPER_BUILD_ROOT/browser
(default build/browser); `libraries` installs them now, for runs where the registry cannot
be reached (test.sh does, before the end-to-end tests, which may run in a fresh root that
lacks this machine's certificates). Chromium renders a page of this module's own that
loads them from there and writes what it found into its DOM, which --dump-dom prints.
"""

from __future__ import annotations

import hashlib
import html
import json
import re
import shutil
import os
import stat
import subprocess
import sys
import tempfile
from pathlib import Path

PROJECT = Path(__file__).resolve().parents[1]
PINNED = PROJECT / "tests" / "browser"


class ChromiumError(Exception):
    """Chromium, npm or a library did not do what was asked."""


def build_root() -> Path:
    return Path(os.environ.get("BOOTSTRAPPER_BUILD_ROOT") or PROJECT.parent / "build")
RESULTS = re.compile(r'<pre id="results">(.*?)</pre>', re.S)


def chromium() -> str:
    found = shutil.which("chromium")
    if found is None:
        raise ChromiumError("chromium is missing: run Bootstrapper/scripts/setup.sh")
    return found


def modules() -> Path:
    """node_modules with the pinned libraries, installed when the lock file changed."""
    place = build_root() / "browser"
    lock = (PINNED / "package-lock.json").read_bytes()
    stamp = place / "installed-lock.sha256"
    digest = hashlib.sha256(lock).hexdigest()
    if stamp.is_file() and stamp.read_text() == digest:
        return place / "node_modules"
    place.mkdir(parents=True, exist_ok=True)
    for name in ("package.json", "package-lock.json"):
        shutil.copyfile(PINNED / name, place / name)
    npm = shutil.which("npm")
    if npm is None:
        raise ChromiumError("npm is missing: run Bootstrapper/scripts/setup.sh")
    installed = subprocess.run([npm, "ci", "--no-audit", "--no-fund", "--prefix", str(place)],
                               capture_output=True, text=True, timeout=600)
    if installed.returncode != 0:
        raise ChromiumError(f"npm ci of {PINNED} failed: {installed.stderr[-2000:]}")
    stamp.write_text(digest)
    return place / "node_modules"


def _dump(page: Path, budget_ms: int = 30000) -> str:
    done = subprocess.run([chromium(), "--headless", "--no-sandbox", "--disable-gpu",
                           f"--virtual-time-budget={budget_ms}", "--allow-file-access-from-files",
                           "--dump-dom", page.as_uri()], capture_output=True, text=True, timeout=180)
    if done.returncode != 0:
        raise ChromiumError(f"chromium --dump-dom {page} ended with {done.returncode}: {done.stderr[-2000:]}")
    found = RESULTS.search(done.stdout)
    if found is None or not found.group(1):
        raise ChromiumError(f"the page {page} wrote no results: {done.stdout[-2000:]}")
    return html.unescape(found.group(1))


RENDER_SCRIPT = """
const diagrams = JSON.parse(document.getElementById("diagrams").textContent);
const documents = JSON.parse(document.getElementById("documents").textContent);
mermaid.initialize({startOnLoad: false, securityLevel: "strict"});
(async () => {
  const results = {diagrams: [], documents: []};
  for (const [index, text] of diagrams.entries()) {
    try {
      const {svg} = await mermaid.render("diagram" + index, text);
      const holder = document.createElement("div");
      holder.innerHTML = svg;
      results.diagrams.push({error: null, nodes: holder.querySelectorAll("g.node").length, svg,
                             labels: [...holder.querySelectorAll("g.node")].map(n => n.textContent.trim())});
    } catch (error) {
      results.diagrams.push({error: String(error && error.message || error), nodes: 0, labels: []});
    }
  }
  for (const text of documents) {
    const holder = document.createElement("div");
    holder.innerHTML = markdownit({html: false}).render(text);
    results.documents.push({
      tables: [...holder.querySelectorAll("table")].map(table =>
        [...table.querySelectorAll("tr")].map(row => [...row.children].map(cell => cell.textContent))),
      scripts: holder.querySelectorAll("script").length});
  }
  document.getElementById("results").textContent = JSON.stringify(results);
})();
"""


def render(work: Path, diagrams: list[str], documents: list[str] = ()) -> dict:
    """Each Mermaid diagram rendered by mermaid (its error, its nodes and their labels) and
    each Markdown document by markdown-it (its tables' cells, and any script it made)."""
    where = modules()
    work.mkdir(parents=True, exist_ok=True)
    page = work / "render.html"

    def data(name: str, value) -> str:
        # JSON in a script element of its own: "</" cannot end it.
        return (f'<script type="application/json" id="{name}">'
                + json.dumps(value).replace("</", "<\\/") + "</script>")

    page.write_text("<!doctype html><html><head><meta charset='utf-8'></head><body>"
                    '<pre id="results"></pre>' + data("diagrams", diagrams) + data("documents", list(documents))
                    + f'<script src="{(where / "mermaid/dist/mermaid.min.js").as_uri()}"></script>'
                    + f'<script src="{(where / "markdown-it/dist/markdown-it.min.js").as_uri()}"></script>'
                    + f"<script>{RENDER_SCRIPT}</script></body></html>", encoding="utf-8")
    return json.loads(_dump(page))


PICTURES_SCRIPT = """
function lookAtPictures() {
  const results = [];
  for (const image of document.images) {
    if (!image.complete || image.naturalWidth === 0) {
      results.push({src: image.src.slice(0, 40), decoded: false, blank: true, alt: image.alt});
      continue;
    }
    const canvas = document.createElement("canvas");
    canvas.width = image.naturalWidth; canvas.height = image.naturalHeight;
    const context = canvas.getContext("2d");
    context.drawImage(image, 0, 0);
    const pixels = context.getImageData(0, 0, canvas.width, canvas.height).data;
    let differs = false;
    for (let i = 4; i < pixels.length && !differs; i += 4) {
      differs = pixels[i] !== pixels[0] || pixels[i + 1] !== pixels[1] || pixels[i + 2] !== pixels[2];
    }
    results.push({src: image.src.slice(0, 40), decoded: true, width: image.naturalWidth,
                  height: image.naturalHeight, blank: !differs, alt: image.alt});
  }
  const out = document.createElement("pre"); out.id = "results";
  out.textContent = JSON.stringify(results);
  document.body.appendChild(out);
}
// Every picture is loaded (decoded or not) when the page's load event comes.
if (document.readyState === "complete") { lookAtPictures(); } else { window.addEventListener("load", lookAtPictures); }
"""


def look_at_page(page: Path, work: Path) -> tuple[list[dict], Path]:
    """The page as Chromium shows it: each image on it decoded (its size, and whether every
    pixel is the same), and a screenshot of the page. The page is read from a copy with a
    script of the test's own at its end; the screenshot is of the page itself."""
    work.mkdir(parents=True, exist_ok=True)
    copy = work / "page-looked-at.html"
    # The page's own policy forbids every script: the copy leaves it out for the test's.
    text = re.sub(r'<meta http-equiv="Content-Security-Policy"[^>]*>', "", page.read_text(encoding="utf-8"))
    copy.write_text(text + f"<script>{PICTURES_SCRIPT}</script>", encoding="utf-8")
    images = json.loads(_dump(copy))
    picture = work / "page.png"
    screenshot(page, picture)
    return images, picture


def mode_for(picture: Path) -> int:
    """The mode the picture had, or the umask's for a new one: not the private mode of the
    temporary name it is made under."""
    try:
        return stat.S_IMODE(os.stat(picture).st_mode)
    except FileNotFoundError:
        mask = os.umask(0)
        os.umask(mask)
        return 0o666 & ~mask


def screenshot(page: Path, picture: Path, size: str = "1280,2400") -> None:
    """The page as Chromium shows it, saved as picture: made beside it under a name of its
    own and put in its place whole, so that a failed run leaves a picture that was there."""
    descriptor, part = tempfile.mkstemp(prefix=f".{picture.name}.part-", suffix=".png", dir=picture.parent)
    os.close(descriptor)
    try:
        shot = subprocess.run([chromium(), "--headless", "--no-sandbox", "--disable-gpu", "--hide-scrollbars",
                               f"--window-size={size}", f"--screenshot={part}", page.as_uri()],
                              capture_output=True, text=True, timeout=180)
        if shot.returncode != 0 or os.path.getsize(part) == 0:
            raise ChromiumError(f"chromium --screenshot {page} failed: {shot.stderr[-2000:]}")
        os.chmod(part, mode_for(picture))
        os.replace(part, picture)
    finally:
        if os.path.exists(part):
            os.unlink(part)


MERMAID_BLOCK = re.compile(r"^```mermaid\n(.*?)^```$", re.M | re.S)


def diagram_picture(plan: Path, picture: Path) -> int:
    """The first Mermaid diagram of a Markdown file rendered as mermaid draws it, saved as
    a picture; returns how many nodes it has."""
    found = MERMAID_BLOCK.search(plan.read_text(encoding="utf-8"))
    if found is None:
        raise ChromiumError(f"{plan} holds no ```mermaid block")
    with tempfile.TemporaryDirectory(prefix="headless-chromium-") as temporary:
        work = Path(temporary)
        rendered = render(work, [found.group(1)])["diagrams"][0]
        if rendered["error"]:
            raise ChromiumError(f"mermaid cannot draw the diagram of {plan}: {rendered['error']}")
        page = work / "diagram.html"
        page.write_text("<!doctype html><html><head><meta charset='utf-8'></head>"
                        "<body style='margin:16px;background:#fff'>" + rendered["svg"].replace("max-width:", "width:") + "</body></html>",
                        encoding="utf-8")
        # The picture as large as the diagram, with the page's margin round it.
        box = re.search(r'viewBox="[-\d.]+ [-\d.]+ ([\d.]+) ([\d.]+)"', rendered["svg"])
        width, height = (float(box.group(1)), float(box.group(2))) if box else (1400, 2000)
        screenshot(page, picture, f"{int(width) + 32},{int(height) + 32}")
    return rendered["nodes"]


def main(argv: list[str]) -> int:
    if {"-h", "--help"} & set(argv):
        print(__doc__, end="")
        return 0
    if argv[:1] == ["libraries"] and len(argv) == 1:
        wanted = 1
    elif len(argv) == 3 and argv[0] in ("diagram", "page"):
        wanted = 3
    else:
        print("\n".join(__doc__.splitlines()[:3]), file=sys.stderr)
        return 2
    try:
        if wanted == 1:
            print(f"the browser tests' libraries: {modules()}")
        elif argv[0] == "diagram":
            nodes = diagram_picture(Path(argv[1]), Path(argv[2]))
            print(f"{argv[2]}: the plan's diagram, {nodes} nodes")
        else:
            screenshot(Path(argv[1]).resolve(), Path(argv[2]))
            print(f"{argv[2]}: {argv[1]} as Chromium shows it")
    except ChromiumError as error:
        print(f"headless_chromium: {error}", file=sys.stderr)
        return 1
    except OSError as error:
        print(f"headless_chromium: {error.filename or ''}: {error.strerror}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
