"""What bootstrapper-try reads and where it writes, decided before Wine starts.

The try reads the package folder, the --previous folder and the --registry files, and
writes only the report (--output), the language dialog's picture (--screenshot) and the
wizard's pages (--screenshots DIR/run-N/page-NN.png): none of them into a folder it
reads or onto a file it reads, and each whole (written_files). A picture that cannot be
written later is a reason in the report, never the end of the run.
"""

from __future__ import annotations

from dataclasses import dataclass, field
from pathlib import Path

from tool_support import UsageError
from wine_session import WineError, XDisplay
from written_files import is_within, os_error_text, output_folder, output_place, replace_whole, resolved

REG_HEADERS = ("Windows Registry Editor Version 5.00", "REGEDIT4")


@dataclass
class Inputs:
    folder: Path
    previous: Path | None
    registry: list[Path]
    output: Path | None = None       # the resolved places of the outputs
    screenshot: Path | None = None
    screenshots: Path | None = None

    @property
    def labelled_registry(self) -> list[tuple[str, Path]]:
        return [("--registry", path) for path in self.registry]

    @property
    def read_folders(self) -> list[Path]:
        return [self.folder] + ([self.previous] if self.previous else [])


def absolute(text: str, what: str) -> Path:
    """The path as given, made absolute; a relative one needs a current folder."""
    try:
        return Path(text).absolute()
    except OSError as error:
        raise UsageError(f"{what} {text}: the current folder cannot be found: "
                         f"{os_error_text(error)}") from None


def folder_argument(text: str, what: str = "FOLDER") -> Path:
    folder = absolute(text, what)
    try:
        holds = (folder / "Bootstrapper.exe").is_file()
    except OSError as error:
        raise UsageError(f"{text} cannot be read: {os_error_text(error)}") from None
    if not holds:
        raise UsageError(f"{text} holds no Bootstrapper.exe: name a package folder")
    return folder


def reg_header_problem(path: Path) -> str | None:
    """Why reg.exe would refuse the file at its first line, which Wine's reg.exe does
    without a word: None when the line is one of the two headers regedit writes."""
    data = path.read_bytes()
    if data.startswith(b"\xef\xbb\xbf"):
        return ("it begins with a UTF-8 byte order mark, which Wine's reg.exe refuses: save it "
                "as ANSI or as UTF-16 with its byte order mark")
    text = data[2:].decode("utf-16-le", "replace") if data.startswith(b"\xff\xfe") else \
        data.decode("cp1252", "replace")
    first = text.split("\n", 1)[0].strip()
    if first in REG_HEADERS:
        return None
    return (f"its first line is {first[:60]!r}, not {REG_HEADERS[0]!r} or {REG_HEADERS[1]!r} "
            "(saved as ANSI or as UTF-16 with its byte order mark)")


def registry_file(text: str) -> Path:
    path = absolute(text, "--registry")
    try:
        if not path.is_file():
            raise UsageError(f"no .reg file at {path}")
        problem = reg_header_problem(path)
    except OSError as error:
        problem = os_error_text(error)
    if problem:
        raise UsageError(f"{path} cannot be imported: {problem}")
    return path


def checked_inputs(args, runs: int) -> Inputs:
    """The folders and files the try reads, and the places of its outputs, each refused
    with the reason when the try must not write there; runs: the setup's runs (for the
    folders of --screenshots)."""
    inputs = Inputs(folder_argument(args.folder),
                    folder_argument(args.previous, "--previous") if args.previous else None,
                    [registry_file(text) for text in args.registry])
    read = inputs.read_folders
    # The prefix is Wine's to write in: nothing of the try's goes there, and it must not lie
    # in a folder the try reads.
    made = [absolute(args.prefix, "--prefix")] if args.prefix else []
    for prefix in made:
        for folder in read:
            if is_within(resolved(prefix), resolved(folder)):
                raise UsageError(f"--prefix {args.prefix} lies inside {folder}, which this run "
                                 "reads: name a folder outside it")
    if args.output:
        inputs.output = output_place(args.output, "--output", inputs.labelled_registry, made, (), read)
    if args.screenshot:
        taken = [("--output", inputs.output)] if inputs.output else []
        inputs.screenshot = output_place(args.screenshot, "--screenshot", inputs.labelled_registry, made,
                                         taken, read)
    if args.screenshots:
        inputs.screenshots = output_folder(args.screenshots, "--screenshots", made, read)
        for number in range(1, runs + 1):
            output_folder(inputs.screenshots / f"run-{number}", "--screenshots", made, read)
    return inputs


@dataclass
class Pictures:
    """The screenshots asked for, each written whole where output_place allows (a page's
    file is decided only when the page comes); the reasons of those that could not be.
    With keep (the page of --format=html), each window of a run is pictured once, when it
    is met, and kept in memory: by_window for the run under way, kept for the page."""
    display: XDisplay
    inputs: Inputs
    failures: list[str] = field(default_factory=list)
    keep: bool = False
    by_window: dict[int, bytes | str] = field(default_factory=dict)  # PNG, or why none
    kept: dict[tuple[str, int], bytes | str] = field(default_factory=dict)

    def met(self, window: int, path: Path | None = None) -> bool:
        """The screen as the window shows it, at the window's first call only: kept, and
        saved at path when given; whether it was saved there."""
        if window in self.by_window or not (self.keep or path is not None):
            return False
        try:
            picture: bytes | str = self.display.picture()
        except WineError as error:
            picture = str(error)
        self.by_window[window] = picture if self.keep else ""
        return path is not None and self.save(path, picture)

    def save(self, path: Path, picture: bytes | str | None = None) -> bool:
        """Saves the picture (the screen now when None; text: why none could be taken)."""
        try:
            place = output_place(path, "the screenshot", self.inputs.labelled_registry,
                                 read_folders=self.inputs.read_folders)
            place.parent.mkdir(parents=True, exist_ok=True)
            picture = self.display.picture() if picture is None else picture
            if isinstance(picture, str):
                raise WineError(picture)
            replace_whole(place, picture)
            return True
        except UsageError as error:
            reason = str(error)
        except OSError as error:  # named by the place, not by the temporary name beside it
            reason = f"{path}: {os_error_text(OSError(error.errno, error.strerror))}"
        except WineError as error:
            reason = f"{path}: {error}"
        self.failures.append(f"a screenshot was not saved: {reason}")
        return False
