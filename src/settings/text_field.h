#pragma once
// The four text fields of the settings window (mail addresses, server,
// domain) go into conf.ini one per line, unescaped, in code page 932. A double
// quote or a line break could not be read back from there, nor could a
// character the code page lacks, so the fields refuse them as they come in.
// Commas are fine: the file quotes a text that holds one.
#include <QString>
#include <functional>
#include <optional>

class MessageBoxes;

// The refusal of one text field: a refused change is undone, back to the last
// text the field held.
class TextFieldGuard {
  public:
    // set_text puts a text into the field; that is itself a change of the field.
    TextFieldGuard(MessageBoxes& boxes, std::function<void(const QString&)> set_text)
        : boxes_(boxes), set_text_(std::move(set_text)) {}

    // Puts the setting's value in as it is, unchecked: a value read from the
    // file is kept, whatever it holds, unless the operator changes it.
    void fill(const QString& text);

    // Runs on every change of the field's text. Refuses what the change added
    // when the file could not hold it; keeps the text as it will read back
    // (cp932_fold_typed), putting that into the field when it differs.
    void changed(const QString& text);

  private:
    void put(const QString& text);

    MessageBoxes& boxes_;
    std::function<void(const QString&)> set_text_;
    QString accepted_;
    bool quiet_ = false; // while the program itself sets the text
};
