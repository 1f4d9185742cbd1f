// Static libraries (.lik): the parsed syntax tree of their sources, grafted
// into a later compilation as if the sources had been included.
//
//   "KL!", u32 version 1, then one declaration-tree block (declaration_ast.h).
#pragma once

#include <cstdint>

#include "foundation/qestring.h"
#include "foundation/stream.h"
#include "image/declaration_ast.h"
#include "source/ast_nodes.h"
#include "source/node.h"

inline constexpr uint32_t kStaticLibraryVersion = 1;

// Writes the library of the tree below root, whose nodes name their files by
// index into sourcePaths.
bool writeStaticLibrary(qestl::qeistream& out, const qestl::WStringVector& sourcePaths,
                        const _KNode<qeAbstractNode>& root);

// Reads the library in `stream` and appends its tree, under a unit node of
// kind 88 named by the library's path, to the children of projectRoot (or
// makes it the root when there is none). libraryNumber becomes the unit
// level of every node read. 1 when loaded; 0 after a message on standard
// output, with nothing added.
int loadStaticLibrary(_KNode<qeAbstractNode>& projectRoot, uint32_t libraryNumber, SourcePathTable& sources,
                      qestl::qeistream& stream, const qestl::qestringW& path);
