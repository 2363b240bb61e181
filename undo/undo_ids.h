/* Identifiers of the Undo program's resources. Plain macros: the resource compiler reads
   this header too. */
#ifndef LARK_UNDO_IDS_H
#define LARK_UNDO_IDS_H

#define kUndoManifest 1
#define kUndoVersion 1
#define kUndoIcon 100
#define kRunsDialog 300
#define kRunsList 301
#define kRunsHint 302

#endif
