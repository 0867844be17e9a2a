#pragma once
// The walk over the Tool Inspector's file list that the batch commands of the Run menu share. The
// first entry is selected; each entry is visited in list order; after each, the selection moves to
// the next entry (after the last: back to the first) and the main window's caption shows how far
// the walk is: selection index x 100 / entry count (integer division) followed by " % completed".
// A finished walk therefore ends on the first entry with "0 % completed".
//
// The entries are taken when the walk starts: files the visits write (the list follows its
// folder) neither join nor reorder it.

#include <QString>
#include <functional>

namespace orvex {

class TMyGL;

struct FileListWalkOptions {
    // A visible Inspector is hidden for the walk and shown again when it ends, however it ends.
    bool hideInspector = false;
};

// `visit` gets the full path, the entry's index and the entry count; false stops the walk after
// that entry (a stop asked for by the user). Returns the number of entries visited. Without an
// Inspector there is nothing to walk.
int Walk_File_List(TMyGL& window, const FileListWalkOptions& options,
                   const std::function<bool(const QString& path, int index, int count)>& visit);

// index x 100 / count + " % completed".
QString Completed_Caption(int index, int count);

}  // namespace orvex
