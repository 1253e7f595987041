"""Screenshots as numbers: the demo's colours in a picture, and where the camera puts a point
of the scene on the screen."""

import math

WIDTH, HEIGHT = 800, 600

# The demo's fixed colours as 8-bit RGB (0.4 and 0.77 of 255 come out as 102 and 196).
FLOOR = (0, 102, 255)
NEAR_WALL = (0, 102, 196)
FAR_WALL = (0, 0, 196)
SPRING = (255, 0, 0)
POINT = (255, 255, 0)
GRAB = (255, 255, 255)

# Rasterisers may differ in the last bit or two.
TOLERANCE = 3


def _ppm_header(data):
    """The four header fields of a binary PPM and the offset of its pixels."""
    fields, i = [], 0
    while len(fields) < 4:
        while data[i:i + 1].isspace():
            i += 1
        if data[i:i + 1] == b"#":
            i = data.index(b"\n", i) + 1
            continue
        start = i
        while not data[i:i + 1].isspace():
            i += 1
        fields.append(data[start:i])
    return fields, i + 1  # one whitespace byte ends the header


class Picture:
    """An RGB screenshot, from binary PPM (P6 with 8-bit samples)."""

    def __init__(self, ppm):
        (magic, width, height, maxval), offset = _ppm_header(ppm)
        if magic != b"P6" or maxval != b"255":
            raise ValueError("expected an 8-bit binary PPM, got %r maxval %r" % (magic, maxval))
        self.width, self.height = int(width), int(height)
        self.pixels = ppm[offset:offset + 3 * self.width * self.height]
        if len(self.pixels) != 3 * self.width * self.height:
            raise ValueError("PPM cut short")

    def __eq__(self, other):
        return (self.width, self.height, self.pixels) == (other.width, other.height, other.pixels)

    def where(self, colour):
        """(x, y) of every pixel of that colour, x to the right and y downward."""
        r, g, b = colour
        px, found = self.pixels, []
        for i in range(0, len(px), 3):
            if abs(px[i] - r) <= TOLERANCE and abs(px[i + 1] - g) <= TOLERANCE and abs(px[i + 2] - b) <= TOLERANCE:
                n = i // 3
                found.append((n % self.width, n // self.width))
        return found

    def count(self, colour):
        return len(self.where(colour))

    def differing_pixels(self, other):
        a, b = self.pixels, other.pixels
        return sum(1 for i in range(0, len(a), 3) if a[i:i + 3] != b[i:i + 3])


class Box:
    """A screen rectangle, in pixels, x to the right and y downward."""

    def __init__(self, points):
        xs = [p[0] for p in points]
        ys = [p[1] for p in points]
        self.left, self.right, self.top, self.bottom = min(xs), max(xs), min(ys), max(ys)
        self.centre = (sum(xs) / len(xs), sum(ys) / len(ys))

    @property
    def width(self):
        return self.right - self.left

    def within(self, other, slack):
        """True when every edge lies within `slack` pixels of the other box's edge."""
        return all(abs(a - b) <= slack for a, b in ((self.left, other.left), (self.right, other.right),
                                                     (self.top, other.top), (self.bottom, other.bottom)))

    def __repr__(self):
        return "x %.0f..%.0f, y %.0f..%.0f" % (self.left, self.right, self.top, self.bottom)


def body_box(picture):
    """Where the springs and points are drawn, or None when none is."""
    pixels = picture.where(SPRING) + picture.where(POINT)
    return Box(pixels) if pixels else None


# The camera: eye, up direction and frustum of the demo, independent of its code.
EYE = (5.0, 4.5, 3.0)
NEAR, HALF_EXTENT = 1.5, 1.0


def _sub(a, b):
    return tuple(x - y for x, y in zip(a, b))


def _dot(a, b):
    return sum(x * y for x, y in zip(a, b))


def _cross(a, b):
    return (a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0])


def _unit(a):
    n = math.sqrt(_dot(a, a))
    return tuple(x / n for x in a)


def project(point, target):
    """Screen position of a scene point with the camera looking at target (z up)."""
    forward = _unit(_sub(target, EYE))
    side = _unit(_cross(forward, (0.0, 0.0, 1.0)))
    up = _cross(side, forward)
    d = _sub(point, EYE)
    depth = _dot(forward, d)
    x_ndc = NEAR / HALF_EXTENT * _dot(side, d) / depth
    y_ndc = NEAR / HALF_EXTENT * _dot(up, d) / depth
    return ((x_ndc + 1.0) / 2.0 * WIDTH, (1.0 - y_ndc) / 2.0 * HEIGHT)


def cube_corners(origin_x, origin_y, origin_z, edge=1.0):
    """Corners 0..7 of a cube: 0 at the origin, 1 at +y, 2 at -x+y, 3 at -x, 4..7 above."""
    x, y, z = origin_x, origin_y, origin_z
    bottom = [(x, y, z), (x, y + edge, z), (x - edge, y + edge, z), (x - edge, y, z)]
    return bottom + [(px, py, pz + edge) for px, py, pz in bottom]


def view_target(corners):
    """Where the camera looks: a quarter of the sum of corners 0, 1 and 3 of the lead cube."""
    return tuple(0.25 * (corners[0][i] + corners[1][i] + corners[3][i]) for i in range(3))


def expected_cube_box(corners, point_edge=0.1):
    """Screen box of a cube seen with the camera on it, the small cubes at its corners included."""
    target = view_target(corners)
    h = point_edge / 2.0
    grown = [(x + dx, y + dy, z + dz) for x, y, z in corners for dx in (-h, h) for dy in (-h, h) for dz in (-h, h)]
    return Box([project(p, target) for p in grown])
