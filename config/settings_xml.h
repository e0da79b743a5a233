#pragma once
// Small helpers shared by the two configuration classes for building and
// reading the settings document.
#include <cstdint>

#include "core/cstring.h"

struct XmlElement;

namespace settings {

// Appends <name>value</name> with the value as "%d" writes it.
void AppendInt(XmlElement* parent, const wchar_t* name, int32_t value);
// Appends <name>text</name>; an empty string gives an element without text.
void AppendText(XmlElement* parent, const wchar_t* name, CString& value);
// Appends <name>a.b.c.d</name>, the most significant byte first.
void AppendAddress(XmlElement* parent, const wchar_t* name, uint32_t address);

// The first child of `element`, or null.
XmlElement* FirstChild(XmlElement* element);
// The text of the first element named `name` in the chain from `first` when
// it is not empty, else the fallback (or an empty string for null).
void ReadText(XmlElement* first, const wchar_t* name, CString& field, const CString* fallback);

}  // namespace settings
