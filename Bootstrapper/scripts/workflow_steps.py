"""Usage: python3 Bootstrapper/scripts/workflow_steps.py WORKFLOW ROOT WORKSPACE [SECRET...]

Runs the `run:` steps of a GitHub Actions workflow's one job, in order, as a runner runs
them in the job's container: in the Debian root ROOT (with chroot, as root), in WORKSPACE
(a folder inside ROOT, the checked-out repository), each with `bash -e`, with the
environment a runner gives (CI, GITHUB_ACTIONS, GITHUB_WORKSPACE, HOME, RUNNER_TEMP) and the
job's and the step's own `env:`, and GITHUB_STEP_SUMMARY, a file of the step's own in
RUNNER_TEMP/_runner_file_commands (kept after the run, as step_summary_N); `${{ secrets.NAME }}` in an `env:` value is this
environment's NAME when NAME is one of the SECRETs named here (never a value on the command
line, which every user's `ps` shows), and any other expression is refused, so the steps run as written. `uses:` steps
(checkout, uploads) are passed over: WORKSPACE stands for the checkout. It stops at the
first step that fails, with its exit status. check-deb.sh runs it on
Bootstrapper/examples/release-workflow.yml.
"""

from __future__ import annotations

import os
import re
import subprocess
import sys
import time
from pathlib import Path


EXPRESSION = re.compile(r"\$\{\{\s*(.*?)\s*\}\}")
SECRET = re.compile(r"secrets\.([A-Za-z_][A-Za-z0-9_]*)$")
# As a runner sets them in a job's container.
RUNNER_TEMP = "/__w/_temp"
RUNNER_HOME = "/github/home"
SUMMARIES = f"{RUNNER_TEMP}/_runner_file_commands"
PATH = "/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin"


def value(text, secrets: dict[str, str], where: str) -> str:
    def replace(found: re.Match) -> str:
        secret = SECRET.match(found.group(1))
        if not secret or secret.group(1) not in secrets:
            raise SystemExit(f"workflow_steps: {where}: the expression {found.group(0)} cannot be run here")
        return secrets[secret.group(1)]
    return EXPRESSION.sub(replace, str(text))


def environment(job: dict, step: dict, workspace: str, secrets: dict[str, str], number: int) -> dict[str, str]:
    env = {"PATH": PATH, "HOME": RUNNER_HOME, "CI": "true", "GITHUB_ACTIONS": "true",
           "GITHUB_WORKSPACE": workspace, "RUNNER_TEMP": RUNNER_TEMP, "LANG": "C.UTF-8",
           "GITHUB_STEP_SUMMARY": f"{SUMMARIES}/step_summary_{number}"}
    for scope, where in ((job.get("env") or {}, "the job's env"), (step.get("env") or {}, "a step's env")):
        env.update({name: value(text, secrets, where) for name, text in scope.items()})
    return env


def run_steps(workflow: Path, root: Path, workspace: str, secrets: dict[str, str]) -> int:
    import yaml  # only here: --help needs no YAML reader
    jobs = yaml.safe_load(workflow.read_text(encoding="utf-8"))["jobs"]
    if len(jobs) != 1:
        raise SystemExit("workflow_steps: the workflow must have one job")
    job = next(iter(jobs.values()))
    for folder in (RUNNER_TEMP, RUNNER_HOME, SUMMARIES):
        (root / folder.lstrip("/")).mkdir(parents=True, exist_ok=True)
    for number, step in enumerate(job["steps"], 1):
        name = step.get("name") or step.get("uses") or f"step {number}"
        if "run" not in step:
            print(f"== {name}: passed over ({step.get('uses')})", flush=True)
            continue
        if EXPRESSION.search(step["run"]):
            raise SystemExit(f"workflow_steps: {name}: an expression in run: cannot be run here")
        script = root / RUNNER_TEMP.lstrip("/") / f"step-{number}.sh"
        script.write_text(step["run"], encoding="utf-8")
        env = environment(job, step, workspace, secrets, number)
        (root / env["GITHUB_STEP_SUMMARY"].lstrip("/")).touch()
        print(f"== {name}", flush=True)
        began = time.monotonic()
        status = subprocess.run(
            ["chroot", str(root), "/usr/bin/env", "-i", *(f"{k}={v}" for k, v in env.items()),
             "bash", "-c", 'cd "$1" && exec bash -e "$2"', "step", workspace,
             f"{RUNNER_TEMP}/step-{number}.sh"]).returncode
        print(f"== {name}: exit status {status} ({time.monotonic() - began:.0f} s)", flush=True)
        if status != 0:
            return status
    return 0


def main(argv: list[str]) -> int:
    if {"-h", "--help"} & set(argv):
        print(__doc__, end="")
        return 0
    if len(argv) < 3:
        print(__doc__.splitlines()[0], file=sys.stderr)
        return 2
    secrets = {name: os.environ.get(name, "") for name in argv[3:]}
    return run_steps(Path(argv[0]), Path(argv[1]), argv[2], secrets)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
