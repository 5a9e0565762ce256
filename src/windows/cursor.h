#pragma once
// The program's animated wait cursor: a hidden window holding it, and its
// installation as the cursor shown while a database statement runs.

#include "components/mpAniCur.h"

#include <QWidget>

#include <memory>

// Never shown; reading it installs its cursor under number 1.
class Tfrmcursor : public QWidget
{
    Q_OBJECT
public:
    explicit Tfrmcursor(QWidget *parent = nullptr);
    ~Tfrmcursor() override;

    std::unique_ptr<TmpAnimatedCursors> mpAnimatedCursors1;
};

extern Tfrmcursor *frmcursor;

// Nothing under wine; otherwise the animated cursor becomes the SQL-wait
// cursor and cursor 1 the static cursor 1003 again. A cursor that does not
// load raises its error.
void InstallAnimatedCursors();
// Frees the cursor window (the program's end).
void FreeAnimatedCursors();
