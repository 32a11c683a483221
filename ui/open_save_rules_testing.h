#pragma once

// For tests only: what the dialog's tests read inside its rules.

#include <QString>

#include "ui/open_save_rules.h"

namespace fb {

struct OpenSaveRulesTesting {
  /// The folder whose files the file list shows.
  static const QString& fileFolder(const OpenSaveRules& rules) { return rules.fileFolder_; }
};

}  // namespace fb
