// Sets a plug-in object's parameters from "NAME=VALUE" texts the way a user types them on
// the command line: the internal name in any letter case, numbers for float and integer
// parameters, 0/1/true/false/on/off for switches, any text for text parameters, R,G,B from
// 0 to 1 for colours, a node of the open scene by name for node parameters. A value
// outside the parameter's range is clamped by the block, and the warning says so.
#pragma once

#include <string>
#include <vector>

class IParamBlock2;
class INode;

namespace tweather {

struct Assignment {
    std::string name, value;
};

// Splits "NAME=VALUE"; false with `error` when there is no name or no '='.
bool splitAssignment(const std::string& text, Assignment& out, std::string& error);
// Splits every text in order; false with the first one's `error`.
bool splitAssignments(const std::vector<std::string>& texts, std::vector<Assignment>& out, std::string& error);

// Applies one assignment at time 0. False with `error` for an unknown name (listing the
// names there are), a value that does not parse, or a parameter that text cannot set.
bool assignParameter(IParamBlock2* block, const Assignment& a, std::string& warning, std::string& error);

// The block's internal names, comma separated, in declaration order.
std::string parameterNames(IParamBlock2* block);

// The first node of the open scene with this name, or null.
INode* nodeNamed(const std::string& name);

// The index of the parameter with this internal name (any letter case), or -1.
int findParameter(IParamBlock2* block, const std::string& name);

// Sets every world-length parameter that `sets` leaves alone to its default times
// `unitsPerCentimetre`: the defaults are centimetres, so a scene in other units gets the
// same sizes.
void scaleLengthDefaults(IParamBlock2* block, const std::vector<Assignment>& sets, double unitsPerCentimetre);

}  // namespace tweather
