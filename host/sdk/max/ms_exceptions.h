// Script errors a published function raises to have scripts report them in the
// interpreter's own words, as the SDK's maxscript exceptions do: RuntimeError reads
// "-- Runtime error: <text><value>", ConversionError "-- Unable to convert: <value> to
// type: <type>". The value is printed as scripts print it. Where the SDK passes the
// interpreter's Value*, the stand-in passes the FPValue the function received. Thrown and
// caught on the main thread.
#pragma once

#include "max/fp_value.h"

class MAXScriptException {
public:
    virtual ~MAXScriptException() = default;
};

class RuntimeError : public MAXScriptException {
public:
    explicit RuntimeError(const MCHAR* text) : text(text ? text : L"") {}
    // The text followed by the value as scripts print it.
    RuntimeError(const MCHAR* text, const FPValue& value) : text(text ? text : L""), value(value), hasValue(true) {}
    MSTR text;
    FPValue value;
    bool hasValue = false;
};

class ConversionError : public MAXScriptException {
public:
    ConversionError(const FPValue& value, const MCHAR* typeName) : value(value), typeName(typeName ? typeName : L"") {}
    FPValue value;
    MSTR typeName;
};
