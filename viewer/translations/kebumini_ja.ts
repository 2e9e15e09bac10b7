<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja_JP">
<context>
    <name>CDictionariesDlg</name>
    <message>
        <source>Dictionaries</source>
        <translation>辞書の一覧</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>名前</translation>
    </message>
    <message>
        <source>Encoding</source>
        <translation>文字コード</translation>
    </message>
    <message>
        <source>Records</source>
        <translation>レコード数</translation>
    </message>
    <message>
        <source>&amp;Add…</source>
        <translation>追加(&amp;A)…</translation>
    </message>
    <message>
        <source>&amp;Remove</source>
        <translation>削除(&amp;R)</translation>
    </message>
    <message>
        <source>&amp;Up</source>
        <translation>上へ(&amp;U)</translation>
    </message>
    <message>
        <source>&amp;Down</source>
        <translation>下へ(&amp;D)</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>閉じる</translation>
    </message>
</context>
<context>
    <name>CPopupDlg</name>
    <message>
        <source>Look up</source>
        <translation>辞書を引く</translation>
    </message>
    <message>
        <source>Keep the popup open and in its place</source>
        <translation>ポップアップを閉じずにこの位置に留めます</translation>
    </message>
    <message>
        <source>Pin</source>
        <translation>固定</translation>
    </message>
    <message>
        <source>Search the word in the main window (Enter)</source>
        <translation>メインウィンドウでこの語を検索します (Enter)</translation>
    </message>
    <message>
        <source>Open in window</source>
        <translation>ウィンドウで開く</translation>
    </message>
    <message>
        <source>Close (Esc)</source>
        <translation>閉じる (Esc)</translation>
    </message>
</context>
<context>
    <name>CPreferencesDlg</name>
    <message>
        <source>Preferences</source>
        <translation>設定</translation>
    </message>
    <message>
        <source>&amp;Scan selections: a popup for text selected in any program</source>
        <translation>選択した語を引く(&amp;S): どのプログラムで選択した文字列でもポップアップで表示</translation>
    </message>
    <message>
        <source>Selected text (the primary selection)</source>
        <translation>選択した文字列 (プライマリセレクション)</translation>
    </message>
    <message>
        <source>Copied text (the clipboard)</source>
        <translation>コピーした文字列 (クリップボード)</translation>
    </message>
    <message>
        <source>Only while &amp;holding:</source>
        <translation>押している間だけ(&amp;H):</translation>
    </message>
    <message>
        <source>&amp;Longest text scanned:</source>
        <translation>引く文字列の最大長(&amp;L):</translation>
    </message>
    <message>
        <source> characters</source>
        <translation> 文字</translation>
    </message>
    <message>
        <source>Look up &amp;dictionary forms (running → run, 食べました → 食べる)</source>
        <translation>辞書形も引く(&amp;D) (running → run、食べました → 食べる)</translation>
    </message>
</context>
<context>
    <name>CViewerDlg</name>
    <message>
        <source>Search</source>
        <translation>検索</translation>
    </message>
    <message>
        <source>&amp;Open file</source>
        <translation>ファイルを開く(&amp;O)</translation>
    </message>
    <message>
        <source>&amp;Add dictionary…</source>
        <translation>辞書を追加(&amp;A)…</translation>
    </message>
    <message>
        <source>Dic&amp;tionaries…</source>
        <translation>辞書の一覧(&amp;T)…</translation>
    </message>
    <message>
        <source>&amp;Dump Header Info</source>
        <translation>ヘッダー情報を表示(&amp;D)</translation>
    </message>
    <message>
        <source>&amp;Export file</source>
        <translation>ファイルに書き出す(&amp;E)</translation>
    </message>
    <message>
        <source>Export a&amp;ll records…</source>
        <translation>全レコードを書き出す(&amp;L)…</translation>
    </message>
    <message>
        <source>E&amp;xit Application</source>
        <translation>終了(&amp;X)</translation>
    </message>
    <message>
        <source>Zoom &amp;In</source>
        <translation>文字を大きく(&amp;I)</translation>
    </message>
    <message>
        <source>Zoom &amp;Out</source>
        <translation>文字を小さく(&amp;O)</translation>
    </message>
    <message>
        <source>&amp;Normal Size</source>
        <translation>標準の大きさ(&amp;N)</translation>
    </message>
    <message>
        <source>&amp;Search Box</source>
        <translation>検索欄へ移動(&amp;S)</translation>
    </message>
    <message>
        <source>Full text</source>
        <translation>全文</translation>
    </message>
    <message>
        <source>Search headwords, translations and examples when Enter is pressed (Ctrl+T)</source>
        <translation>Enter で見出し語・訳語・用例を検索します (Ctrl+T)</translation>
    </message>
    <message>
        <source>Exact</source>
        <translation>区別する</translation>
    </message>
    <message>
        <source>Full text: letter case, full-width letters and katakana count as typed</source>
        <translation>全文検索で大文字と小文字、全角と半角、カタカナとひらがなを区別します</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>ファイル(&amp;F)</translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation>表示(&amp;V)</translation>
    </message>
    <message>
        <source>&amp;Back</source>
        <translation>戻る(&amp;B)</translation>
    </message>
    <message>
        <source>&amp;Forward</source>
        <translation>進む(&amp;F)</translation>
    </message>
    <message>
        <source>&amp;Readings</source>
        <translation>読み(&amp;R)</translation>
    </message>
    <message>
        <source>The reading of each entry in the list and under the headword</source>
        <translation>一覧と見出し語の下に各項目の読みを表示</translation>
    </message>
    <message>
        <source>Fon&amp;t…</source>
        <translation>フォント(&amp;T)…</translation>
    </message>
</context>
<context>
    <name>UserDialogs</name>
    <message>
        <source>Dic Files</source>
        <translation>辞書ファイル</translation>
    </message>
    <message>
        <source>All Files (*.*)</source>
        <translation>すべてのファイル (*.*)</translation>
    </message>
    <message>
        <source>Txt Files</source>
        <translation>テキスト ファイル</translation>
    </message>
</context>
<context>
    <name>WindowNotes</name>
    <message>
        <source>%1 is not a KEBU dictionary.</source>
        <translation>%1 は KEBU 辞書ではありません。</translation>
    </message>
    <message>
        <source>%1 cannot be opened: %2</source>
        <translation>%1 を開けません: %2</translation>
    </message>
    <message>
        <source>%1 is in the list already, as %2.</source>
        <translation>%1 は %2 として既に一覧にあります。</translation>
    </message>
    <message>
        <source>%1: %2 damaged record areas passed over</source>
        <translation>%1: 壊れたレコード領域 %2 個を飛ばしました</translation>
    </message>
    <message>
        <source>missing: %1</source>
        <translation>見つかりません: %1</translation>
    </message>
    <message>
        <source>%1 is missing: %2</source>
        <translation>%1 が見つかりません: %2</translation>
    </message>
    <message>
        <source>%1: the last full-text search passed over %2 damaged record areas; their records were not searched.</source>
        <translation>%1: 直前の全文検索で壊れたレコード領域 %2 個を飛ばしました。その中のレコードは検索されていません。</translation>
    </message>
    <message>
        <source>1 record written to %1.</source>
        <translation>1 件のレコードを %1 に書き出しました。</translation>
    </message>
    <message>
        <source>%1 records written to %2.</source>
        <translation>%1 件のレコードを %2 に書き出しました。</translation>
    </message>
    <message>
        <source>%1 damaged record areas were passed over.</source>
        <translation>壊れたレコード領域 %1 個を飛ばしました。</translation>
    </message>
</context>
<context>
    <name>kebu::viewer::CDictionariesDlg</name>
    <message>
        <source>code page 932</source>
        <translation>コードページ 932</translation>
    </message>
    <message>
        <source>missing: %1</source>
        <translation>開けません: %1</translation>
    </message>
</context>
<context>
    <name>kebu::viewer::CPopupDlg</name>
    <message>
        <source>Out of memory while looking up “%1”</source>
        <translation>「%1」を引く途中でメモリが足りなくなりました</translation>
    </message>
    <message>
        <source>No text is selected, or the desktop does not let kebumini read it</source>
        <translation>文字列が選択されていないか、デスクトップが kebumini に選択を読ませません</translation>
    </message>
    <message>
        <source>No entry for “%1”</source>
        <translation>「%1」は見つかりません</translation>
    </message>
    <message>
        <source>No dictionary is searched in the window.</source>
        <translation>ウィンドウで検索対象の辞書がありません。</translation>
    </message>
    <message>
        <source>English irregular forms need WordNet&apos;s lists: install %1.</source>
        <translation>英語の不規則変化には WordNet の一覧が必要です: %1 をインストールしてください。</translation>
    </message>
    <message>
        <source>English stems need Hunspell&apos;s en_US dictionary: install %1.</source>
        <translation>英語の語幹には Hunspell の en_US 辞書が必要です: %1 をインストールしてください。</translation>
    </message>
    <message>
        <source>Japanese forms need MeCab with IPADIC: install %1.</source>
        <translation>日本語の辞書形には MeCab と IPADIC が必要です: %1 をインストールしてください。</translation>
    </message>
</context>
<context>
    <name>kebu::viewer::CPreferencesDlg</name>
    <message>
        <source>(no key)</source>
        <translation>(なし)</translation>
    </message>
    <message>
        <source>Ctrl</source>
        <translation>Ctrl</translation>
    </message>
    <message>
        <source>Alt</source>
        <translation>Alt</translation>
    </message>
    <message>
        <source>Shift</source>
        <translation>Shift</translation>
    </message>
    <message>
        <source>Meta (Windows key)</source>
        <translation>Meta (Windows キー)</translation>
    </message>
</context>
<context>
    <name>kebu::viewer::CViewerDlg</name>
    <message>
        <source>&amp;Help</source>
        <translation>ヘルプ(&amp;H)</translation>
    </message>
    <message>
        <source>Cancel the export?</source>
        <translation>書き出しを中止しますか？</translation>
    </message>
    <message>
        <source>Add dictionary</source>
        <translation>辞書を追加</translation>
    </message>
    <message>
        <source>Export %1</source>
        <translation>%1 を書き出す</translation>
    </message>
    <message>
        <source>%1 is a dictionary that is open here; the export would overwrite it. Choose another file.</source>
        <translation>%1 はこのウィンドウで開いている辞書です。書き出すと上書きされてしまいます。別のファイルを選んでください。</translation>
    </message>
    <message>
        <source>%1 of %2 records written; this export ends after index entry %3.</source>
        <translation>%2 レコード中 %1 レコードを書き出しました。この書き出しはインデックス項目 %3 の後で終わります。</translation>
    </message>
    <message>
        <source>File &gt; Export all records… writes every record.</source>
        <translation>すべてのレコードは「ファイル」&gt;「全レコードを書き出す…」で書き出せます。</translation>
    </message>
    <message>
        <source>The export to %1 failed: %2</source>
        <translation>%1 への書き出しに失敗しました: %2</translation>
    </message>
    <message>
        <source>Best first</source>
        <translation>一致順</translation>
    </message>
    <message>
        <source>Full text: headwords equal to the key first, then headwords that hold it, then the rest</source>
        <translation>全文検索: 見出し語がキーと一致するもの、見出し語がキーを含むもの、その他の順</translation>
    </message>
</context>
<context>
    <name>kebu::viewer::Companion</name>
    <message>
        <source>S&amp;can selections</source>
        <translation>選択した語を引く(&amp;C)</translation>
    </message>
    <message>
        <source>Look up the text selected in any program in a popup</source>
        <translation>どのプログラムで選択した文字列でもポップアップで引きます</translation>
    </message>
    <message>
        <source>&amp;Preferences…</source>
        <translation>設定(&amp;P)…</translation>
    </message>
    <message>
        <source>Show the window</source>
        <translation>ウィンドウを表示</translation>
    </message>
    <message>
        <source>&amp;Quit</source>
        <translation>終了(&amp;Q)</translation>
    </message>
    <message>
        <source>kebumini: scanning selections</source>
        <translation>kebumini: 選択した語を引いています</translation>
    </message>
    <message>
        <source>kebumini: not scanning selections</source>
        <translation>kebumini: 選択した語を引いていません</translation>
    </message>
</context>
<context>
    <name>kebu::viewer::HitListModel</name>
    <message>
        <source>Dictionary</source>
        <translation>辞書</translation>
    </message>
    <message>
        <source>Reading</source>
        <translation>読み</translation>
    </message>
    <message>
        <source>No.</source>
        <translation>番号</translation>
    </message>
    <message>
        <source>title</source>
        <translation>見出し語</translation>
    </message>
    <message>
        <source>L</source>
        <translation>L</translation>
    </message>
</context>
<context>
    <name>kebu::viewer::WindowSearch</name>
    <message>
        <source>1 hit</source>
        <translation>1 件</translation>
    </message>
    <message>
        <source>%1 hits</source>
        <translation>%1 件</translation>
    </message>
    <message>
        <source>show more</source>
        <translation>さらに表示</translation>
    </message>
</context>
<context>
    <name>kebu::viewer::PrefixSearch</name>
    <message>
        <source>%1 of %2 hits</source>
        <translation>%2 件中 %1 件</translation>
    </message>
</context>
<context>
    <name>kebu::viewer::StreamedSearch</name>
    <message>
        <source>%1 of %2 hits shown</source>
        <translation>%2 件中 %1 件を表示</translation>
    </message>
    <message>
        <source>%1 of %2 hits</source>
        <translation>%2 件中 %1 件</translation>
    </message>
    <message>
        <source>%1 hits so far — %2%</source>
        <translation>これまでに %1 件 — %2%</translation>
    </message>
    <message>
        <source>%1 hits so far — cancelled</source>
        <translation>%1 件で中止しました</translation>
    </message>
    <message>
        <source>%1 hits so far — out of memory</source>
        <translation>%1 件でメモリが不足しました</translation>
    </message>
</context>
<context>
    <name>kebu::viewer::PatternSearch</name>
    <message>
        <source>pattern</source>
        <translation>パターン</translation>
    </message>
</context>
<context>
    <name>kebu::viewer::HelpedPrefixSearch</name>
    <message>
        <source>No entry for %1; showing %2</source>
        <translation>%1 の項目はありません。%2 を表示しています</translation>
    </message>
    <message>
        <source>Did you mean: %1</source>
        <translation>もしかして: %1</translation>
    </message>
</context>
</TS>
