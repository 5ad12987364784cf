#pragma once

#include "app/form1.h"
#include "fakecomm.h"

#include <QTest>

// The window over a scripted serial control; `comm` is left pointing at the
// control, which the window owns.
inline std::unique_ptr<quadrelink::Form1>
openFakeWindow(FakeComm *&comm, quadrelink::Form1Environment environment = {},
               bool portOpens = true)
{
    auto control = std::make_unique<FakeComm>();
    control->openSucceeds = portOpens;
    comm = control.get();
    return std::make_unique<quadrelink::Form1>(std::move(control), std::move(environment));
}

// Where each test of a shown window starts (its init()): the window over a
// scripted control, shown and active, with the control's record of the calls
// made at start-up cleared.
inline void showFakeWindow(std::unique_ptr<quadrelink::Form1> &form, FakeComm *&comm)
{
    form = openFakeWindow(comm);
    form->show();
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
    comm->calls.clear();
}
