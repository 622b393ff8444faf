#pragma once
#include <QLabel>
#include <QString>

// The caption label of a field: the field is its buddy and carries the caption as its
// accessible name, so keyboard users and screen readers reach the field by what it says.
inline QLabel* CaptionFor(const QString& text, QWidget* field, QWidget* parent = nullptr) {
    auto* label = new QLabel(text, parent);
    label->setBuddy(field);
    if (field && field->accessibleName().isEmpty())
        field->setAccessibleName(text.trimmed());
    return label;
}
