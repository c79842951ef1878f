#pragma once
// Bound properties reached by a dotted path ("frmMain.Font.Name") over Qt's property system.
// Names match without regard to case ("Font" finds a widget's font). An element that is no
// property of the current object names a child component of the form. A widget's font is
// reached through TPFontAdapter, which shows it with the properties a stored font has.
#include "PSetting.h"

#include <QFlags>
#include <QObject>

class QWidget;

namespace corvane::settings {

// The value of the property the path names; pvtNone when it leads nowhere.
TPValue ReadPropertyPath(QObject* Form, const QString& Path);
// Writes the setting's value into the property the path names; nothing when it leads nowhere.
void WritePropertyPath(QObject* Form, TPSetting& Setting);

class TPFontAdapter : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int Charset READ Charset WRITE SetCharset)
    Q_PROPERTY(int Color READ Color WRITE SetColor)
    Q_PROPERTY(int Height READ Height WRITE SetHeight)
    Q_PROPERTY(QString Name READ Name WRITE SetName)
    Q_PROPERTY(TFontPitch Pitch READ Pitch WRITE SetPitch)
    Q_PROPERTY(int Size READ Size WRITE SetSize)
    Q_PROPERTY(TFontStyles Style READ Style WRITE SetStyle)

public:
    enum TFontPitch { fpDefault, fpVariable, fpFixed };
    Q_ENUM(TFontPitch)
    enum TFontStyle { fsBold = 0x1, fsItalic = 0x2, fsUnderline = 0x4, fsStrikeOut = 0x8 };
    Q_DECLARE_FLAGS(TFontStyles, TFontStyle)
    Q_FLAG(TFontStyles)

    // DEFAULT_CHARSET: fonts on Linux have no character set of their own.
    static constexpr int kDefaultCharset = 1;
    // clWindowText: the theme's text colour, kept as long as nobody chose another one.
    static constexpr int kWindowTextColor = int(0x80000008u);
    // Font heights are pixels at 120 pixels per inch.
    static constexpr int kPixelsPerInch = 120;

    explicit TPFontAdapter(QWidget* Widget);

    int Charset() const { return kDefaultCharset; }
    void SetCharset(int) { }
    // A colour as 0x00BBGGRR.
    int Color() const;
    void SetColor(int Value);
    // Negative: the character height in pixels.
    int Height() const;
    void SetHeight(int Value);
    QString Name() const;
    void SetName(const QString& Value);
    TFontPitch Pitch() const;
    void SetPitch(TFontPitch Value);
    // Points.
    int Size() const;
    void SetSize(int Value);
    TFontStyles Style() const;
    void SetStyle(TFontStyles Value);

private:
    QWidget* m_widget;
};

} // namespace corvane::settings

Q_DECLARE_OPERATORS_FOR_FLAGS(corvane::settings::TPFontAdapter::TFontStyles)
