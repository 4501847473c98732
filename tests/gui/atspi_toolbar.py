#!/usr/bin/python3
"""Checks the main window from outside, as a screen reader sees it: lists the ten tool bar buttons
by their accessible names and presses "Настройки", which must open the settings dialog.

Run inside a D-Bus session under Xvfb (see run_atspi.sh); argv: program, user profile folder."""
import os
import subprocess
import sys
import time

import pyatspi

EXPECTED = ["Новый заказ", "Сохранить заказ в архив", "Архив заказов", "Экспорт заказа в MS Excel",
            "Обновить данные", "Обновить изображения", "Настройки", "Вкл/Выкл информации о товаре",
            "Помощь", "Выход из программы"]


def find_app(names, timeout=20):
    end = time.time() + timeout
    seen = set()
    while time.time() < end:
        desktop = pyatspi.Registry.getDesktop(0)
        for app in desktop:
            if app is None:
                continue
            seen.add(app.name)
            if app.name in names:
                return app
        time.sleep(0.3)
    print("applications on the bus:", sorted(seen))
    return None


def walk(node, depth=0):
    if node is None or depth > 40:
        return
    yield node
    for child in node:
        yield from walk(child, depth + 1)


def main():
    program, profile = sys.argv[1], sys.argv[2]
    env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", USERPROFILE=profile, QT_QPA_PLATFORM="xcb")
    # A settings file already there: no first-run dialog in the way.
    work = os.path.join(profile, "Application Data", "TavrelCatalog")
    os.makedirs(work, exist_ok=True)
    with open(os.path.join(work, "ZarenConfig.ini"), "wb") as f:
        f.write(b"[COMMON]\r\n")
    proc = subprocess.Popen([program], env=env)
    try:
        app = find_app({os.path.basename(program), "Сервис Таврел Электронный каталог"})
        if app is None:
            print("FAIL: the program did not appear on the accessibility bus")
            return 1
        time.sleep(1.0)
        buttons = []
        for node in walk(app):
            try:
                role = node.getRole()
            except Exception:
                continue
            if role in (pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_TOGGLE_BUTTON, pyatspi.ROLE_CHECK_BOX) \
                    and node.name in EXPECTED:
                if node.name not in [b.name for b in buttons]:
                    buttons.append(node)
        names = [b.name for b in buttons]
        print("tool bar buttons:", names)
        if names != EXPECTED:
            print("FAIL: expected", EXPECTED)
            return 1
        settings = buttons[EXPECTED.index("Настройки")]
        action = settings.queryAction()
        try:
            action.doAction(0)
        except Exception:
            pass  # the button opens a modal dialog, so the press is answered only when it closes
        end = time.time() + 10
        while time.time() < end:
            for node in walk(app, 0):
                try:
                    if node.getRole() == pyatspi.ROLE_DIALOG and node.name == "Настройки":
                        print("settings dialog opened")
                        print("1 passed, 0 failed")
                        return 0
                except Exception:
                    pass
            time.sleep(0.3)
        print("FAIL: pressing Настройки opened no settings dialog")
        return 1
    finally:
        proc.kill()
        proc.wait()


if __name__ == "__main__":
    sys.exit(main())
