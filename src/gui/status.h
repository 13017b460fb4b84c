#pragma once

#include "run/desktop.h"

#include <QLabel>
#include <QWidget>

// The borderless please-wait window shown while a check runs.
class TfmStatus : public QWidget, public app::StatusDisplay {
    Q_OBJECT
public:
    explicit TfmStatus(QWidget* parent = nullptr);

    QLabel* la1;
    QLabel* la2;
    QLabel* Image1;

    void openform(const QString& text1, const QString& text2) override;
    void closeform() override;
};
