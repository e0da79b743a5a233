#pragma once
// The operation file through an element tree, kept as the reference that the
// direct reader and writer (model/opfile.h) are checked against by the tests
// and the fuzzer: the holder tree ("root" with ident, action and image) for
// the list, empty when memory ran out; the list from a read document's
// top-level chain (false when a record could not be appended), leaving out
// `cut`, a record the file ended inside; and the whole
// read of a file's bytes that way.
#include <cstddef>

#include "model/opfile.h"

XmlTree BuildActionTree(const ActionList& list, const MachineIdent& ident);
bool ReadActionTree(ActionList* list, const XmlElement* first, const XmlElement* cut = nullptr);
OperationFileLoad ReadOperationTree(ActionList* list, const char* bytes, size_t size);
