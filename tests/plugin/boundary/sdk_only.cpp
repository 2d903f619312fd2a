// Must compile with the plug-in module's settings: the SDK-shaped headers are what a module
// builds against. The twin of reaches_stand_in.cpp, so that probe cannot fail for a reason
// other than the stand-in header it includes.
#include "max/inode.h"

ULONG boundaryProbeSdkOnly(INode* node) {
    return node->GetHandle();
}
