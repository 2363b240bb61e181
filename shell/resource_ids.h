/* Identifiers of the module's own resources. They are fixed: the shell, the registrar and
   Windows' version and manifest lookups find them by number. The dialogs' identifiers are
   in engine/page_controls.h. Plain macros, because the resource compiler reads this
   header too. */
#ifndef LARK_RESOURCE_IDS_H
#define LARK_RESOURCE_IDS_H

#define kVersionResource 1
#define kManifestResource 2
#define kProductNameString 100
#define kRegistryScript 101
#define kPageIcon 203

#endif
