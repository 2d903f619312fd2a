// Placing a fall with one click: the volume's size comes from its parameters, so the object
// only follows the cursor on the construction plane until the first click puts it down.
#include "fall/weather_fall.h"
#include "max/mouse_callback.h"
#include "max/view_exp.h"

namespace wx {
namespace {

class FallCreateCB : public CreateMouseCallBack {
public:
    int proc(ViewExp* vpt, int msg, int point, int, IPoint2 m, Matrix3& mat) override {
        if (!vpt || !vpt->IsAlive()) return FALSE;
        if (msg != MOUSE_POINT && msg != MOUSE_MOVE) return msg == MOUSE_ABORT ? CREATE_ABORT : CREATE_CONTINUE;
        IPoint2 snapped;
        mat.SetTrans(vpt->SnapPoint(m, snapped, nullptr, SNAP_IN_3D));
        return msg == MOUSE_POINT && point == 0 ? CREATE_STOP : CREATE_CONTINUE;
    }
};

FallCreateCB gFallCreateCB;

}  // namespace

CreateMouseCallBack* WeatherFall::GetCreateMouseCallBack() {
    return &gFallCreateCB;
}

}  // namespace wx
