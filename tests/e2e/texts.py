"""The updater's texts as a player reads them (UTF-8 here; the program holds them in code
page 932, and the UI driver converts what it reads)."""

CAPTION = "ぴこぺこらんど アップデート Ver 1.01"
ERROR_CAPTION = "エラー"
NOT_INSTALLED = ("『ぴこぺこらんど』がインストールされていません。"
                 "インストールが終了してから再度アップデートを行って下さいませ。")
REAPPLY_QUESTION = "既にこのパッチは適用済みです。\n更に上書きで適用しますか？"
COMPLETED = "更新は完了しました。"
APPLY_FAILED = ("更新ファイル書き込みに失敗しました。"
                "ゲームが起動されている場合は、終了してから再度実行して下さい。")


def write_error(name):
    return "ファイルが書き込めません。[%s]" % name


def escaped(text):
    """A text as the driver prints it on one line."""
    return (text.replace("\\", "\\\\").replace("\n", "\\n")
            .replace("\r", "\\r").replace("\t", "\\t"))


def dialog_lines(version, folder):
    """The driver's report of the update dialog: its caption, then its eleven controls in
    template order (id, class, text)."""
    controls = [
        (1, "Button", "適用"),
        (2, "Button", "終了"),
        (-1, "Static", "現在のバージョン"),
        (1000, "Static", version),
        (-1, "Static", "『ぴこぺこらんど』製品版を Ver 1.01 にアップデートします。"),
        (-1, "Static", "※この修正パッチを適用すると、プレイデータやセーブデータは削除されます。"
                       "予めご了承下さいませ。"),
        (-1, "Button", ""),
        (-1, "Button", ""),
        (-1, "Static", "インストール先"),
        (1001, "Static", folder),
        (-1, "Button", ""),
    ]
    return ["dialog\t" + escaped(CAPTION)] + [
        "control\t%d\t%s\t%s" % (cid, cls, escaped(text)) for cid, cls, text in controls]


def message_lines(caption, text, owner, buttons, answer):
    """The driver's report of one message box and its answer. Every message of the
    updater has no icon."""
    return ["msgbox\t%s\t%s" % (escaped(caption), escaped(text)),
            "owner\t" + owner, "buttons\t" + buttons, "icon\tno", "answered\t" + answer]
