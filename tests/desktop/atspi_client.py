"""The AT-SPI side of atspi_test.sh: starts the desktop widget on the session
bus it runs on, reads its accessible tree as a screen reader does, and presses
Pause through the button's action.

Usage: atspi_client.py HOST TIMER WORK   (the host's log goes to WORK/host.log)
"""

import subprocess
import sys
import time
import warnings

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402

HOST, TIMER, WORK = sys.argv[1:4]

# Newer libatspi renames the call and deprecates the old name; either reads the same.
warnings.filterwarnings("ignore", category=DeprecationWarning)
action_description = getattr(Atspi.Action, "get_description", None) or getattr(
    Atspi.Action, "get_action_description"
)


def fail(message):
    print(f"FAIL: {message}", file=sys.stderr)
    sys.exit(1)


def wait_for(seconds, probe, what):
    """Polls probe() every 0.1 s until it gives something; a generous hang guard."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        found = probe()
        if found:
            return found
        time.sleep(0.1)
    fail(f"{what} (after {seconds} s)")


def walk(node, depth=0):
    yield node, depth
    for index in range(node.get_child_count()):
        child = node.get_child_at_index(index)
        if child is not None:
            yield from walk(child, depth + 1)


def widget_frame():
    desktop = Atspi.get_desktop(0)
    for index in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(index)
        if app is None:
            continue
        app.clear_cache()
        for node, _ in walk(app):
            if node.get_role() == Atspi.Role.FRAME and node.get_name() == "Velto Timer":
                return node
    return None


def snapshot(frame):
    """The tree under the frame, fresh from the application."""
    frame.clear_cache()
    return [
        {
            "role": node.get_role(),
            "name": node.get_name(),
            "description": node.get_description(),
            "states": node.get_state_set(),
            "node": node,
            "depth": depth,
        }
        for node, depth in walk(frame)
    ]


def show(tree):
    return "\n".join(
        f"{'  ' * n['depth']}{n['role'].value_nick} {n['name']!r} {n['description']!r}"
        for n in tree
    )


def one(tree, role, name=None):
    found = [n for n in tree if n["role"] == role and (name is None or n["name"] == name)]
    if len(found) != 1:
        fail(f"not one {role.value_nick} named {name!r}:\n{show(tree)}")
    return found[0]


def timer_status():
    return subprocess.run([TIMER, "status"], capture_output=True, text=True).stdout


with open(f"{WORK}/host.log", "w") as log:
    host = subprocess.Popen([HOST, "desktop", "--appearance", "light"], stderr=log)
try:
    frame = wait_for(30, widget_frame, "no frame named 'Velto Timer' on the accessibility bus")
    tree = wait_for(
        20,
        lambda: (lambda t: t if any(n["role"] == Atspi.Role.PUSH_BUTTON for n in t) else None)(
            snapshot(frame)
        ),
        "the widget showed no buttons",
    )
    print(show(tree))

    print("--- the buttons say what they do, in words")
    pause = one(tree, Atspi.Role.PUSH_BUTTON, "Pause")
    stop = one(tree, Atspi.Role.PUSH_BUTTON, "Stop")
    if pause["description"] != "Pause the timer" or stop["description"] != "Stop the timer":
        fail(f"button descriptions: {pause['description']!r}, {stop['description']!r}")
    for button in (pause, stop):
        for state in (Atspi.StateType.SHOWING, Atspi.StateType.ENABLED, Atspi.StateType.SENSITIVE):
            if not button["states"].contains(state):
                fail(f"{button['name']} is not {state.value_nick}")
        if Atspi.Action.get_n_actions(button["node"]) != 1:
            fail(f"{button['name']} offers no single action")
        described = action_description(button["node"], 0)
        if described != button["description"]:
            fail(f"{button['name']}'s action is described as {described!r}")

    print("--- the widget says its state, the day's total is today's")
    panel = one(tree, Atspi.Role.PANEL)
    summary = panel["description"]
    if not summary.startswith("Deep Work, running, ") or "; today " not in summary:
        fail(f"the widget's description does not say its state: {summary!r}")
    labels = [n["name"] for n in tree if n["role"] == Atspi.Role.LABEL]
    if not any(name.startswith("Today ") for name in labels):
        fail(f"no label says the day's total is today's: {labels}")
    readout = [name for name in labels if name.endswith("second") or name.endswith("seconds")]
    if len(readout) != 1:
        fail(f"no readout in words among {labels}")

    print("--- a tick renames the readout, not the widget's description")
    wait_for(
        5,
        lambda: readout[0] not in [n["name"] for n in snapshot(frame) if n["role"] == Atspi.Role.LABEL],
        "the readout's name did not follow the clock",
    )
    if one(snapshot(frame), Atspi.Role.PANEL)["description"] != summary:
        fail("the widget's description changed with a tick")

    print("--- the Pause action pauses the timer, and the tree follows")
    if not Atspi.Action.do_action(pause["node"], 0):
        fail("the Pause action was refused")
    wait_for(10, lambda: timer_status().startswith("paused"), "velto-timer did not pause")

    def paused_tree():
        tree = snapshot(frame)
        buttons = [n for n in tree if n["role"] == Atspi.Role.PUSH_BUTTON]
        panel = [n for n in tree if n["role"] == Atspi.Role.PANEL]
        if (
            any(b["name"] == "Play" and b["description"] == "Resume the timer" for b in buttons)
            and panel
            and panel[0]["description"].startswith("Deep Work, paused, ")
        ):
            return tree
        return None

    print(show(wait_for(10, paused_tree, "the tree does not say the timer is paused")))
finally:
    host.terminate()
    try:
        status = host.wait(timeout=10)
    except subprocess.TimeoutExpired:
        host.kill()
        fail("the host did not end on SIGTERM")
if status != 0:
    fail(f"the host ended with {status}")
print("PASS")
