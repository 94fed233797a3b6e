#!/usr/bin/env python3
"""Fails when a source file includes a header of a layer above its own.

The layers, from the bottom up (docs/layout.md): platform
interfaces, diagnostics, config, product, conditions, components, driver,
the media checker (checker), and on top the Windows programs
(win32) and the Linux media checker (linux). A file may
include its own layer and those below it. The core never includes
<windows.h>.
"""

import re
import sys
from pathlib import Path

REPO = Path(__file__).resolve().parent.parent
LAYERS = ["platform", "diagnostics", "config", "product", "conditions", "components", "driver",
          "checker", "win32", "linux"]
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)


def layer_of(path: str) -> int:
    """The layer of a repository path, or -1 when it is none of them."""
    folder = str(Path(path).parent)
    return LAYERS.index(folder) if folder in LAYERS else -1


def main() -> int:
    problems = []
    for layer in LAYERS:
        for source in sorted((REPO / layer).glob("*.[ch]*")):
            own = LAYERS.index(layer)
            text = source.read_text(errors="replace")
            for kind, name in INCLUDE.findall(text):
                where = f"{source.relative_to(REPO)}: #include {kind}{name}"
                if kind == "<" and name.lower() == "windows.h" and layer != "win32":
                    problems.append(f"{where}: the portable core never includes <windows.h>")
                target = layer_of(name) if kind == '"' else -1
                if target > own:
                    problems.append(f"{where}: points up from {layer} to {LAYERS[target]}")
    for problem in problems:
        print(problem, file=sys.stderr)
    print(f"layers: {len(problems)} include(s) pointing up" if problems else "layers: every include points down")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
