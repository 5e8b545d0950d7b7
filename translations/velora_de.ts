<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>CoreText</name>
    <message>
        <source>BT848 not found! Check DLLs</source>
        <translation>BT848 nicht gefunden! DLLs prüfen</translation>
    </message>
    <message>
        <source>(Use current desktop settings)</source>
        <translation>(Auflösung des Desktops)</translation>
    </message>
    <message>
        <source>Are you sure you want to quit ?</source>
        <translation>Wollen Sie das Programm wirklich beenden?</translation>
    </message>
    <message>
        <source>Loaded key tables from &apos;%1&apos;.</source>
        <translation>Tastentabellen aus &apos;%1&apos; geladen.</translation>
    </message>
    <message>
        <source>Load &apos;%1&apos; now ?</source>
        <translation>&apos;%1&apos; jetzt laden?</translation>
    </message>
    <message>
        <source>Please enter an integer between %1 and %2.</source>
        <translation>Bitte eine ganze Zahl zwischen %1 und %2 eingeben.</translation>
    </message>
    <message>
        <source>The options could not be saved to &apos;%1&apos;.</source>
        <translation>Die Optionen konnten nicht in &apos;%1&apos; gespeichert werden.</translation>
    </message>
    <message>
        <source>The settings could not be saved to &apos;%1&apos;.</source>
        <translation>Die Einstellungen konnten nicht in &apos;%1&apos; gespeichert werden.</translation>
    </message>
    <message>
        <source>KavoRemote cannot send keys or move the pointer on this desktop: it needs an X11 session with the XTEST extension, a Wayland compositor with the virtual-keyboard protocol, or write access to /dev/uinput.</source>
        <translation>KavoRemote kann auf diesem Desktop keine Tasten senden und den Zeiger nicht bewegen: Es braucht eine X11-Sitzung mit der Erweiterung XTEST, einen Wayland-Compositor mit dem Protokoll für virtuelle Tastaturen oder Schreibzugriff auf /dev/uinput.</translation>
    </message>
    <message>
        <source>WARNING!

Some screen resolutions may not be available on your monitor!

Use this option with caution as improper resolution settings can even damage your hardware.</source>
        <translation>WARNUNG!

Manche Bildschirmauflösungen sind auf Ihrem Monitor eventuell nicht verfügbar!

Verwenden Sie diese Option mit Vorsicht: Falsche Auflösungen können sogar Ihre Hardware beschädigen.</translation>
    </message>
    <message>
        <source>tuner idle</source>
        <translation>Tuner nicht abgestimmt</translation>
    </message>
    <message>
        <source>locked</source>
        <translation>Signal erkannt</translation>
    </message>
    <message>
        <source>no signal</source>
        <translation>kein Signal</translation>
    </message>
    <message>
        <source>no key yet</source>
        <translation>noch keine Taste</translation>
    </message>
    <message>
        <source>last key %1 (not a key)</source>
        <translation>letzte Taste %1 (keine Taste der Fernbedienung)</translation>
    </message>
    <message>
        <source>last key %1</source>
        <translation>letzte Taste %1</translation>
    </message>
    <message>
        <source>no card: cannot use %1</source>
        <translation>keine Karte: %1 nicht nutzbar</translation>
    </message>
</context>
<context>
    <name>velora::config::CAboutBox</name>
    <message>
        <source>About VeloraConfig</source>
        <translation>Über VeloraConfig</translation>
    </message>
    <message>
        <source>VeloraConfig Version 1.0</source>
        <translation>VeloraConfig Version 1.0</translation>
    </message>
    <message>
        <source>Settings for Bt848 TV cards</source>
        <translation>Einstellungen für Bt848-TV-Karten</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>velora::config::CSettingsDlg</name>
    <message>
        <source>Velora Configuration</source>
        <translation>Velora-Konfiguration</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Capture driver:</source>
        <translation>Aufnahmetreiber:</translation>
    </message>
    <message>
        <source>Hardware</source>
        <translation>Hardware</translation>
    </message>
    <message>
        <source>Card model:</source>
        <translation>Kartenmodell:</translation>
    </message>
    <message>
        <source>Tuner module:</source>
        <translation>Tunermodul:</translation>
    </message>
    <message>
        <source>Display mode</source>
        <translation>Anzeigemodus</translation>
    </message>
    <message>
        <source>High Resolution (576 lines - interlaced)</source>
        <translation>Hohe Auflösung (576 Zeilen, Zeilensprung)</translation>
    </message>
    <message>
        <source>Low Resolution (288 lines - non-interlaced)</source>
        <translation>Niedrige Auflösung (288 Zeilen, progressiv)</translation>
    </message>
    <message>
        <source>Use hardware video overlay</source>
        <translation>Hardware-Video-Overlay verwenden</translation>
    </message>
    <message>
        <source>Interface</source>
        <translation>Oberfläche</translation>
    </message>
    <message>
        <source>Force two-digit channel numbers</source>
        <translation>Kanalnummern immer zweistellig</translation>
    </message>
    <message>
        <source>Adjust Master Volume by default</source>
        <translation>Standardmäßig Gesamtlautstärke regeln</translation>
    </message>
    <message>
        <source>Adjust TV Volume by default</source>
        <translation>Standardmäßig TV-Lautstärke regeln</translation>
    </message>
    <message>
        <source>TV Standard</source>
        <translation>TV-Norm</translation>
    </message>
    <message>
        <source>Channel table:</source>
        <translation>Kanaltabelle:</translation>
    </message>
    <message>
        <source>Resolution:</source>
        <translation>Auflösung:</translation>
    </message>
    <message>
        <source>Language:</source>
        <translation>Sprache:</translation>
    </message>
    <message>
        <source>Font:</source>
        <translation>Schrift:</translation>
    </message>
    <message>
        <source>&amp;About VeloraConfig...</source>
        <translation>Ü&amp;ber VeloraConfig...</translation>
    </message>
    <message>
        <source>No capture device found</source>
        <translation>Kein Aufnahmegerät gefunden</translation>
    </message>
    <message>
        <source>No channel tables</source>
        <translation>Keine Kanaltabellen</translation>
    </message>
    <message>
        <source>No card descriptions</source>
        <translation>Keine Kartenbeschreibungen</translation>
    </message>
    <message>
        <source>No tuner descriptions</source>
        <translation>Keine Tunerbeschreibungen</translation>
    </message>
    <message>
        <source>No languages</source>
        <translation>Keine Sprachen</translation>
    </message>
    <message>
        <source>No fonts</source>
        <translation>Keine Schriften</translation>
    </message>
</context>
<context>
    <name>velora::remote::ui::RemoteDialog</name>
    <message>
        <source>Hide</source>
        <translation>Ausblenden</translation>
    </message>
    <message>
        <source>Options</source>
        <translation>Optionen</translation>
    </message>
    <message>
        <source>Auto-reinitialization every</source>
        <translation>Neu initialisieren alle</translation>
    </message>
    <message>
        <source>seconds.</source>
        <translation>Sekunden.</translation>
    </message>
    <message>
        <source>Re-init now!</source>
        <translation>Neu starten!</translation>
    </message>
    <message>
        <source>(None)</source>
        <translation>(Keine)</translation>
    </message>
    <message>
        <source>Ctrl-F10</source>
        <translation>Strg-F10</translation>
    </message>
    <message>
        <source>Ctrl-F11</source>
        <translation>Strg-F11</translation>
    </message>
    <message>
        <source>Ctrl-F12</source>
        <translation>Strg-F12</translation>
    </message>
    <message>
        <source>Reinitialization hot-key:</source>
        <translation>Neustart-Taste:</translation>
    </message>
    <message>
        <source>Keyboard emulation</source>
        <translation>Tastaturemulation</translation>
    </message>
    <message>
        <source>Load macros from file:</source>
        <translation>Makros aus Datei:</translation>
    </message>
    <message>
        <source>Browse...</source>
        <translation>Suchen...</translation>
    </message>
    <message>
        <source>Reload</source>
        <translation>Neu laden</translation>
    </message>
    <message>
        <source>Save options...</source>
        <translation>Speichern...</translation>
    </message>
    <message>
        <source>Mouse emulation</source>
        <translation>Mausemulation</translation>
    </message>
    <message>
        <source>&amp;Exit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message>
        <source>Movement speed (pixels/click)</source>
        <translation>Schrittweite (Pixel/Klick)</translation>
    </message>
    <message>
        <source>Key source</source>
        <translation>Tastenquelle</translation>
    </message>
    <message>
        <source>Keys from:</source>
        <translation>Tasten von:</translation>
    </message>
    <message>
        <source>Card</source>
        <translation>Karte</translation>
    </message>
    <message>
        <source>LIRC</source>
        <translation>LIRC</translation>
    </message>
    <message>
        <source>Input device</source>
        <translation>Eingabegerät</translation>
    </message>
    <message>
        <source>Repeat held keys</source>
        <translation>Gehaltene Tasten wiederholen</translation>
    </message>
    <message>
        <source>Show each key on the screen</source>
        <translation>Jede Taste auf dem Bildschirm zeigen</translation>
    </message>
    <message>
        <source>LIRC socket:</source>
        <translation>LIRC-Socket:</translation>
    </message>
    <message>
        <source>Input device:</source>
        <translation>Eingabegerät:</translation>
    </message>
    <message>
        <source>(first receiver)</source>
        <translation>(erster Empfänger)</translation>
    </message>
    <message>
        <source>Keys sent through:</source>
        <translation>Tasten gehen über:</translation>
    </message>
    <message>
        <source>nothing (keys cannot be sent)</source>
        <translation>nichts (keine Tasten möglich)</translation>
    </message>
    <message>
        <source>X11 (XTEST)</source>
        <translation>X11 (XTEST)</translation>
    </message>
    <message>
        <source>Wayland (virtual keyboard)</source>
        <translation>Wayland (virtuelle Tastatur)</translation>
    </message>
    <message>
        <source>kernel (uinput), no window scopes</source>
        <translation>Kernel (uinput), ohne Fensterbereiche</translation>
    </message>
    <message>
        <source>Reload key &amp;tables...</source>
        <translation>Tastentabellen neu &amp;laden...</translation>
    </message>
    <message>
        <source>&amp;Reinitialize</source>
        <translation>&amp;Neu initialisieren</translation>
    </message>
    <message>
        <source>Reload drivers...</source>
        <translation>Treiber neu laden...</translation>
    </message>
    <message>
        <source>&amp;Options</source>
        <translation>&amp;Optionen</translation>
    </message>
    <message>
        <source>&amp;Keyboard mode</source>
        <translation>&amp;Tastaturmodus</translation>
    </message>
    <message>
        <source>M&amp;ouse mode</source>
        <translation>&amp;Mausmodus</translation>
    </message>
    <message>
        <source>This desktop has no notification area, so KavoRemote keeps its window open: use Exit in it to end the program, or right-click it for the menu.</source>
        <translation>Dieser Desktop hat keinen Infobereich, daher bleibt das Fenster von KavoRemote offen: Beenden Sie das Programm dort mit „Beenden“, oder öffnen Sie das Menü mit einem Rechtsklick.</translation>
    </message>
    <message>
        <source>Macro files (*.mac)</source>
        <translation>Makrodateien (*.mac)</translation>
    </message>
    <message>
        <source>Kavora II Remote Control - Keyboard Mode</source>
        <translation>Kavora II Fernbedienung - Tastaturmodus</translation>
    </message>
    <message>
        <source>Kavora II Remote Control - Mouse Mode</source>
        <translation>Kavora II Fernbedienung - Mausmodus</translation>
    </message>
</context>
<context>
    <name>velora::shell::ui::ShellWindow</name>
    <message>
        <source>No program opens &apos;%1&apos;</source>
        <translation>Kein Programm öffnet &apos;%1&apos;</translation>
    </message>
</context>
<context>
    <name>velora::vremote::ui::RemoteWindow</name>
    <message>
        <source>Virtual remote</source>
        <translation>Virtuelle Fernbedienung</translation>
    </message>
    <message>
        <source>%1: the receiver reports 0x%2</source>
        <translation>%1: Der Empfänger meldet 0x%2</translation>
    </message>
    <message>
        <source>%1 sends nothing: the card&apos;s receiver never reports this key</source>
        <translation>%1 sendet nichts: Der Empfänger der Karte meldet diese Taste nie</translation>
    </message>
</context>
</TS>
