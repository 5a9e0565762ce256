#include "components/replfont.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TEST(FormCharset, WindowWithOneControlIsLeftAlone)
{
    QWidget form;
    auto *label = new QLabel(QStringLiteral("один"), &form);
    SetFormCharsetRussian(&form);
    EXPECT_FALSE(label->property("charset").isValid());
}

TEST(FormCharset, EveryControlIsMarkedNestedOnesToo)
{
    QWidget form;
    auto *layout = new QVBoxLayout(&form);
    auto *panel = new QWidget(&form);
    layout->addWidget(panel);
    auto *edit = new QLineEdit(panel);
    auto *button = new QPushButton(QStringLiteral("Найти"), &form);
    layout->addWidget(button);
    SetFormCharsetRussian(&form);
    for (QWidget *w : {panel, static_cast<QWidget *>(edit), static_cast<QWidget *>(button)})
        EXPECT_EQ(w->property("charset").toInt(), RUSSIAN_CHARSET);
    // Controls made afterwards are not covered.
    auto *later = new QLabel(&form);
    EXPECT_FALSE(later->property("charset").isValid());
}

TEST(FormCharset, NullWindowIsHarmless)
{
    EXPECT_NO_FATAL_FAILURE(SetFormCharsetRussian(nullptr));
}
