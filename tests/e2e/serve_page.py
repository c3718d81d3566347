"""The observers' page in headless Chromium shows a recording's targets where `vexar-cli render`
draws them, with WebGL2 and with the 2-D canvas it falls back to.

Usage: serve_page.py VEXAR_CLI WORK   (WORK holds Vexar.INI, scene.R96 and render.png)
"""

import math
import os
import sys

from observer_tools import Chromium, Serve, bright_blobs, read_rgb

SIZE = 600
TOLERANCE_PX = 2.0


def picture_blobs(path):
    """Echo blobs inside the disc, relative to the picture's centre."""
    width, height, rgb = read_rgb(path)
    assert (width, height) == (SIZE, SIZE), (path, width, height)
    centre = SIZE // 2
    blobs = []
    for x, y, pixels in bright_blobs(width, height, rgb):
        if math.hypot(x - centre, y - centre) < centre - 5 and pixels >= 4:
            blobs.append((x - centre, y - centre, pixels))
    return blobs


def main():
    cli, work = sys.argv[1], sys.argv[2]
    expected = picture_blobs(os.path.join(work, "render.png"))
    assert len(expected) >= 4, f"the rendered picture holds {len(expected)} echoes"
    serve = Serve(cli, "--play", os.path.join(work, "scene.R96"), "--loop", "--rate", "5", "--color-table", "3",
                  settings=os.path.join(work, "Vexar.INI"))
    try:
        for renderer, query in (("webgl2", "?draw=webgl2"), ("2d", "?draw=2d")):
            browser = Chromium(SIZE, SIZE)
            try:
                browser.open(serve.url(query))
                assert browser.wait_for("window.vexarStats && vexarStats.drawn >= 3"), "no frame was drawn"
                view = browser.evaluate("vexarView()")
                fallback = browser.evaluate("vexarStats.fallback || ''")
                # A browser without WebGL2 draws on the 2-D canvas; a page whose shaders fail
                # must not pass for one.
                assert view["renderer"] == renderer or fallback == "no WebGL2", (view, fallback)
                if view["renderer"] != renderer:
                    print(f"this browser has no WebGL2: {renderer} not checked")
                    continue
                assert (view["side"], view["cx"], view["cy"]) == (SIZE, SIZE // 2, SIZE // 2), view
                shot = os.path.join(work, f"page-{renderer}.png")
                browser.screenshot(shot)
            finally:
                browser.close()
            found = picture_blobs(shot)
            for x, y, pixels in expected:
                nearest = min(math.hypot(x - fx, y - fy) for fx, fy, _ in found)
                assert nearest <= TOLERANCE_PX, (
                    f"{renderer}: the echo at ({x:.1f}, {y:.1f}) from the centre, {pixels} pixels, is "
                    f"{nearest:.1f} px from the nearest on the page")
            assert len(found) <= len(expected) + 2, f"{renderer}: {len(found)} echoes, {len(expected)} expected"
            print(f"{renderer}: {len(expected)} echoes within {TOLERANCE_PX} px of the rendered picture")
    finally:
        serve.stop()


if __name__ == "__main__":
    main()
