// IPoint2: a point on the screen or in an image, in whole pixels (x right, y down).
// Plain value type; safe on any thread.
#pragma once

struct IPoint2 {
    int x = 0, y = 0;
    friend bool operator==(const IPoint2&, const IPoint2&) = default;
};
