// The falling-weather functions of TWeatherMtl: makeFall puts one WeatherFall over a box,
// with its parameters from #(#name, value) pairs and a material for geometry rendering;
// removeFall deletes every fall object in the scene. Each takes its published arguments
// and answers the text scripts see; wrong arguments throw the SDK's script exceptions and
// leave the scene as it was. Main thread only.
#pragma once

#include <string>

#include "max/ifnpub.h"

namespace wx {

// makeFall [minX,minY,minZ] [maxX,maxY,maxZ] #(#(#name, value), ...) rain: answers
// "NAME: N flakes|drops|grains in a W x L x H volume".
std::wstring makeFallObject(FPParams& p, TimeValue t);
// removeFall(): the number of fall objects deleted, hidden ones too, in decimal.
std::wstring removeFallObjects();

}  // namespace wx
