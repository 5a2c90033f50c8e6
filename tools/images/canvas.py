"""The drawing surface of Mavris' artwork: an RGBA float canvas, shapes given by
signed distance functions and anti-aliased by their distance to the pixel centre."""

import math

def clamp01(v):
    return 0.0 if v < 0.0 else (1.0 if v > 1.0 else v)


def lerp(a, b, t):
    return a + (b - a) * t


def mix(c0, c1, t):
    return (lerp(c0[0], c1[0], t), lerp(c0[1], c1[1], t), lerp(c0[2], c1[2], t))


class Canvas:
    def __init__(self, width, height, colour=(0, 0, 0), alpha=1.0):
        self.w = width
        self.h = height
        n = width * height
        self.r = [float(colour[0])] * n
        self.g = [float(colour[1])] * n
        self.b = [float(colour[2])] * n
        self.a = [float(alpha)] * n

    def blend(self, x, y, colour, cover):
        if cover <= 0.0 or x < 0 or y < 0 or x >= self.w or y >= self.h:
            return
        i = y * self.w + x
        da = self.a[i]
        out_a = cover + da * (1.0 - cover)
        if out_a <= 0.0:
            return
        k = cover / out_a
        self.r[i] += (colour[0] - self.r[i]) * k
        self.g[i] += (colour[1] - self.g[i]) * k
        self.b[i] += (colour[2] - self.b[i]) * k
        self.a[i] = out_a

    def vgradient(self, stops, y0=0, y1=None):
        """Fills the canvas with a vertical gradient; stops are (t, colour)."""
        y1 = self.h if y1 is None else y1
        span = max(1, y1 - y0 - 1)
        for y in range(self.h):
            t = clamp01((y - y0) / span)
            c = gradient_at(stops, t)
            for x in range(self.w):
                i = y * self.w + x
                self.r[i], self.g[i], self.b[i] = c
                self.a[i] = 1.0

    def shape(self, sdf, bbox, paint, opacity=1.0, soft=1.0):
        """Paints the area where sdf < 0; paint is a colour or f(x, y)."""
        x0, y0, x1, y1 = bbox
        x0 = max(0, int(math.floor(x0)) - 1)
        y0 = max(0, int(math.floor(y0)) - 1)
        x1 = min(self.w, int(math.ceil(x1)) + 2)
        y1 = min(self.h, int(math.ceil(y1)) + 2)
        fixed = not callable(paint)
        for y in range(y0, y1):
            py = y + 0.5
            for x in range(x0, x1):
                px = x + 0.5
                cover = clamp01(0.5 - sdf(px, py) / soft) * opacity
                if cover > 0.0:
                    self.blend(x, y, paint if fixed else paint(px, py), cover)

    def pixel(self, x, y):
        i = y * self.w + x
        return (self.r[i], self.g[i], self.b[i], self.a[i])


def gradient_at(stops, t):
    if t <= stops[0][0]:
        return tuple(float(v) for v in stops[0][1])
    for (t0, c0), (t1, c1) in zip(stops, stops[1:]):
        if t <= t1:
            return mix(c0, c1, (t - t0) / (t1 - t0) if t1 > t0 else 0.0)
    return tuple(float(v) for v in stops[-1][1])


# Signed distance functions (negative inside), in pixel coordinates.


def sd_circle(cx, cy, r):
    return lambda x, y: math.hypot(x - cx, y - cy) - r


def sd_ellipse(cx, cy, rx, ry):
    # Not exact, but close enough near the edge for anti-aliasing.
    def f(x, y):
        dx = (x - cx) / rx
        dy = (y - cy) / ry
        d = math.hypot(dx, dy)
        return (d - 1.0) * min(rx, ry)

    return f


def sd_rbox(cx, cy, hw, hh, r):
    def f(x, y):
        qx = abs(x - cx) - hw + r
        qy = abs(y - cy) - hh + r
        return math.hypot(max(qx, 0.0), max(qy, 0.0)) + min(max(qx, qy), 0.0) - r

    return f


def sd_capsule(ax, ay, bx, by, r):
    vx, vy = bx - ax, by - ay
    ll = vx * vx + vy * vy

    def f(x, y):
        t = 0.0 if ll == 0 else clamp01(((x - ax) * vx + (y - ay) * vy) / ll)
        return math.hypot(x - ax - vx * t, y - ay - vy * t) - r

    return f


def sd_arc(cx, cy, radius, thick, a0, a1):
    """A ring segment with round caps from angle a0 to a1 (degrees, screen y down)."""
    r0, r1 = math.radians(a0), math.radians(a1)
    e0 = (cx + radius * math.cos(r0), cy + radius * math.sin(r0))
    e1 = (cx + radius * math.cos(r1), cy + radius * math.sin(r1))
    half = thick / 2.0

    def f(x, y):
        ang = math.atan2(y - cy, x - cx)
        # Bring the angle into the arc's turn.
        while ang < r0:
            ang += 2 * math.pi
        if ang <= r1:
            return abs(math.hypot(x - cx, y - cy) - radius) - half
        return min(math.hypot(x - e0[0], y - e0[1]), math.hypot(x - e1[0], y - e1[1])) - half

    return f


def sd_union(*fs):
    return lambda x, y: min(f(x, y) for f in fs)


def sd_subtract(a, b):
    return lambda x, y: max(a(x, y), -b(x, y))
