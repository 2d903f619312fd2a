// The fall object's function-publishing mixin "weatherFall": what scripts and the render
// commands call on one fall object. fallStatus answers the object's status texts; the
// render functions join as the GPU renderer's commands are built. Main thread only.
#pragma once

#include <string>

#include "max/ifnpub.h"

namespace wx {

inline constexpr Interface_ID kWeatherFallFPInterfaceID{0x2C7E94A1, 0x51D03B6E};

enum WeatherFallFunction : FunctionID { kFallFnStatus = 0 };

class WeatherFallFP : public FPMixinInterface {
public:
    FPInterfaceDesc* GetDesc() override;

    // The status text, the run-off line (empty or " | run-off: ..."), " | " and the tornado
    // status.
    virtual std::wstring fallStatus() = 0;

protected:
    FPStatus _dispatch_fn(FunctionID fid, TimeValue t, FPValue& result, FPParams* p) override;
};

}  // namespace wx
