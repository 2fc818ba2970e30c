<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>QGnomeTheme</name>
    <message>
        <source>&amp;OK</source>
        <translation>&amp;OK</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>&amp;Abbrechen</translation>
    </message>
    <message>
        <source>&amp;Close</source>
        <translation>&amp;Schließen</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>cannot create the workbook</source>
        <translation>die Arbeitsmappe lässt sich nicht anlegen</translation>
    </message>
</context>
<context>
    <name>QPlatformTheme</name>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
</context>
<context>
    <name>SkActivityMarker</name>
    <message>
        <source>(above the axis: %1)</source>
        <translation>(über der Achse: %1)</translation>
    </message>
    <message>
        <source>(below the axis: %1)</source>
        <translation>(unter der Achse: %1)</translation>
    </message>
</context>
<context>
    <name>SkAlarmIndicator</name>
    <message>
        <source>Alarm: clear</source>
        <translation>Alarm: keiner</translation>
    </message>
    <message>
        <source>No detector is in alarm</source>
        <translation>Kein Detektor ist im Alarm</translation>
    </message>
    <message>
        <source>ALARM: %1</source>
        <translation>ALARM: %1</translation>
    </message>
    <message>
        <source>%1 on since frame %2</source>
        <translation>%1 an seit Frame %2</translation>
    </message>
    <message>
        <source>%1 on since frame %2 (%3 UTC)</source>
        <translation>%1 an seit Frame %2 (%3 UTC)</translation>
    </message>
</context>
<context>
    <name>SkAlarmLogControls</name>
    <message>
        <source>Avalanche 0</source>
        <translation>Lawine 0</translation>
    </message>
    <message>
        <source>Avalanche 1</source>
        <translation>Lawine 1</translation>
    </message>
    <message>
        <source>Avalanche 2</source>
        <translation>Lawine 2</translation>
    </message>
    <message>
        <source>Water level</source>
        <translation>Pegel</translation>
    </message>
    <message>
        <source>Rain</source>
        <translation>Regen</translation>
    </message>
    <message>
        <source>Pre-alarms</source>
        <translation>Voralarme</translation>
    </message>
    <message>
        <source>Alarms on</source>
        <translation>Alarme an</translation>
    </message>
    <message>
        <source>Alarms off</source>
        <translation>Alarme aus</translation>
    </message>
    <message>
        <source>Incidents</source>
        <translation>Vorfälle</translation>
    </message>
    <message>
        <source>Warnings and errors</source>
        <translation>Warnungen und Fehler</translation>
    </message>
    <message>
        <source>Export log...</source>
        <translation>Log exportieren...</translation>
    </message>
    <message>
        <source>Export shown rows...</source>
        <translation>Angezeigte Zeilen exportieren...</translation>
    </message>
    <message>
        <source>%1 rows</source>
        <translation>%1 Zeilen</translation>
    </message>
    <message>
        <source>%1 of %2 rows shown</source>
        <translation>%1 von %2 Zeilen angezeigt</translation>
    </message>
    <message>
        <source>Export shown log rows to</source>
        <translation>Angezeigte Logzeilen exportieren nach</translation>
    </message>
    <message>
        <source>Export log to</source>
        <translation>Log exportieren nach</translation>
    </message>
    <message>
        <source>CSV (*.csv)</source>
        <translation>CSV (*.csv)</translation>
    </message>
    <message>
        <source>Export to %1 failed: %2</source>
        <translation>Export nach %1 fehlgeschlagen: %2</translation>
    </message>
    <message>
        <source>%1 log rows exported to %2</source>
        <translation>%1 Logzeilen nach %2 exportiert</translation>
    </message>
</context>
<context>
    <name>SkAlarmLogModel</name>
    <message>
        <source>no time</source>
        <translation>keine Zeit</translation>
    </message>
    <message>
        <source>No</source>
        <translation>Nr.</translation>
    </message>
    <message>
        <source>Time (UTC)</source>
        <translation>Zeit (UTC)</translation>
    </message>
    <message>
        <source>Event</source>
        <translation>Ereignis</translation>
    </message>
    <message>
        <source>Details</source>
        <translation>Details</translation>
    </message>
</context>
<context>
    <name>SkAxisUnits</name>
    <message>
        <source>Channel Axis in m/s</source>
        <translation>Kanalachse in m/s</translation>
    </message>
    <message>
        <source>Radial velocity instead of Doppler channels on the channel axes, in the tracker and the readout (frames with a parameter block)</source>
        <translation>Radialgeschwindigkeit statt Doppler-Kanälen auf den Kanalachsen, im Tracker und in der Positionsanzeige (Frames mit Parameterblock)</translation>
    </message>
    <message>
        <source>Time Axes in UTC</source>
        <translation>Zeitachsen in UTC</translation>
    </message>
    <message>
        <source>UTC times with the time-zone offset instead of frame numbers under the activity plot and on the time axis of the views over time</source>
        <translation>UTC-Zeiten mit dem Zeitzonen-Versatz statt Frame-Nummern unter dem Aktivitätsplot und auf der Zeitachse der Ansichten über die Zeit</translation>
    </message>
</context>
<context>
    <name>SkColorScheme</name>
    <message>
        <source>Viridis</source>
        <translation>Viridis</translation>
    </message>
    <message>
        <source>Cividis (colour-blind safe)</source>
        <translation>Cividis (für Farbenblinde geeignet)</translation>
    </message>
    <message>
        <source>Greyscale</source>
        <translation>Graustufen</translation>
    </message>
    <message>
        <source>Blue-green-red ramp</source>
        <translation>Blau-Grün-Rot-Verlauf</translation>
    </message>
</context>
<context>
    <name>SkCommandLine</name>
    <message>
        <source>Usage: skarnel [options] [sources...]
Shows radar frames from files or a live stream, runs the detectors over them and
logs their alarms.

Sources:
  FILE                 a data file (*.rrd, *.rrd0, *.rrd.gz, *.rrd0.gz, *.zip, *.raw)
  &apos;DIR/*.rrd0.gz&apos;      every file a wildcard matches, sorted by name
  DIR                  every data file in a folder
  HOST:PORT            the radar&apos;s data stream (played at once)

Options:
  --n N                hold at most N frames in memory (default 1000)
  --batch N            move on by N frames when memory is full
  --process-params     take the detector settings from the first frame
  --grab FILE.png      write the window to FILE.png once the first batch is
                       analysed (at most 60 s), then quit; exit status 0 when written
  --frame N            with --grab: show frame N
  --view V             with --grab: frame, rangegates or velocities
  --dock D             with --grab: show dock D (details, log, live, rgsum, params,
                       computed); may be repeated
  --show WHAT          with --grab: original, filtered, normalized, background or
                       halfsym
  --zmax V             with --grab: top of the colour scale (fixed levels)
  --peak-shift S       with --grab: none, right or middle
  --rangegate N        with --grab: put the marker on range gate N
  --channel C          with --grab: put the marker on Doppler channel C (0-1023,
                       the true channel, wherever a peak shift draws it)
  --grab-dialog options  with --grab: write the options dialog, one tab below
                       the other, instead of the window
  --language L         English or Deutsch, as if chosen in the options
  --version            print the version and quit
  -h, --help           print this help and quit
</source>
        <translation>Aufruf: skarnel [Optionen] [Quellen...]
Zeigt Radar-Frames aus Dateien oder einem Live-Stream, lässt die Detektoren darüber
laufen und protokolliert ihre Alarme.

Quellen:
  FILE                 eine Datendatei (*.rrd, *.rrd0, *.rrd.gz, *.rrd0.gz, *.zip, *.raw)
  &apos;DIR/*.rrd0.gz&apos;      jede Datei, auf die ein Platzhalter passt, nach Namen sortiert
  DIR                  jede Datendatei in einem Ordner
  HOST:PORT            der Datenstrom des Radars (sofort abgespielt)

Optionen:
  --n N                höchstens N Frames im Speicher halten (Vorgabe 1000)
  --batch N            um N Frames weitergehen, wenn der Speicher voll ist
  --process-params     die Detektor-Einstellungen aus dem ersten Frame nehmen
  --grab FILE.png      das Fenster nach FILE.png schreiben, sobald der erste Block
                       analysiert ist (höchstens 60 s), dann beenden; Rückgabewert 0,
                       wenn geschrieben
  --frame N            mit --grab: Frame N zeigen
  --view V             mit --grab: frame, rangegates oder velocities
  --dock D             mit --grab: Dock D zeigen (details, log, live, rgsum, params,
                       computed); mehrfach möglich
  --show WHAT          mit --grab: original, filtered, normalized, background oder
                       halfsym
  --zmax V             mit --grab: Obergrenze der Farbskala (feste Stufen)
  --peak-shift S       mit --grab: none, right oder middle
  --rangegate N        mit --grab: die Markierung auf Range-Gate N setzen
  --channel C          mit --grab: die Markierung auf Doppler-Kanal C setzen (0-1023,
                       der wahre Kanal, wohin ihn eine Peak-Verschiebung auch zeichnet)
  --grab-dialog options  mit --grab: statt des Fensters den Optionen-Dialog schreiben,
                       ein Reiter unter dem anderen
  --language L         English oder Deutsch, wie in den Optionen gewählt
  --version            die Version ausgeben und beenden
  -h, --help           diese Hilfe ausgeben und beenden
</translation>
    </message>
</context>
<context>
    <name>SkDialogAbout</name>
    <message>
        <source>About</source>
        <translation>Über</translation>
    </message>
    <message>
        <source>License</source>
        <translation>Lizenz</translation>
    </message>
    <message>
        <source>General Terms</source>
        <translation>Allgemeine Bedingungen</translation>
    </message>
    <message>
        <source>About (v%1)</source>
        <translation>Über (v%1)</translation>
    </message>
</context>
<context>
    <name>SkDialogConfigure</name>
    <message>
        <source>Options</source>
        <translation>Optionen</translation>
    </message>
    <message>
        <source>General</source>
        <translation>Allgemein</translation>
    </message>
    <message>
        <source>Language:</source>
        <translation>Sprache:</translation>
    </message>
    <message>
        <source>File</source>
        <translation>Datei</translation>
    </message>
    <message>
        <source>Parameter file list:</source>
        <translation>Liste der Parameterdateien:</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Number of entries in recent used parameter file list&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Anzahl der Einträge in der Liste zuletzt verwendeter Parameterdateien&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>Color</source>
        <translation>Farbe</translation>
    </message>
    <message>
        <source>Center Plot:</source>
        <translation>Mittleres Diagramm:</translation>
    </message>
    <message>
        <source>Fixed Colors</source>
        <translation>Feste Farben</translation>
    </message>
    <message>
        <source>Interpolate Colors</source>
        <translation>Farben interpolieren</translation>
    </message>
    <message>
        <source>Alarm</source>
        <translation>Alarm</translation>
    </message>
    <message>
        <source>Trigger </source>
        <translation>Auslöser </translation>
    </message>
    <message>
        <source>Script:</source>
        <translation>Skript:</translation>
    </message>
    <message>
        <source>Test</source>
        <translation>Testen</translation>
    </message>
    <message>
        <source>Record</source>
        <translation>Aufnahme</translation>
    </message>
    <message>
        <source>Record data path:</source>
        <translation>Pfad der Aufnahmedaten:</translation>
    </message>
    <message>
        <source>...</source>
        <translation>...</translation>
    </message>
    <message>
        <source>Import(rekursive) &lt;*.rrd0.gz&gt; files: </source>
        <translation>&lt;*.rrd0.gz&gt;-Dateien (rekursiv) übernehmen: </translation>
    </message>
    <message>
        <source>Scan/Import/Delete old files</source>
        <translation>Alte Dateien suchen/übernehmen/löschen</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Create new folder on each new record. Folder name is a UTC timestamp like &amp;lt;20180418T122315utc&amp;gt;&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Bei jeder neuen Aufnahme einen neuen Ordner anlegen. Der Ordnername ist ein UTC-Zeitstempel wie &amp;lt;20180418T122315utc&amp;gt;&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>Create new folder on each new record:</source>
        <translation>Neuer Ordner für jede Aufnahme:</translation>
    </message>
    <message>
        <source>Create Subfolder</source>
        <translation>Unterordner anlegen</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Maximal minute files. 0 for unlimited.&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Höchstzahl der Minutendateien. 0 für unbegrenzt.&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>Maximal number of minute files:</source>
        <translation>Höchstzahl der Minutendateien:</translation>
    </message>
    <message>
        <source>Preserve disk space:</source>
        <translation>Freizuhaltender Speicherplatz:</translation>
    </message>
    <message>
        <source>%</source>
        <translation>%</translation>
    </message>
    <message>
        <source>(used now)</source>
        <translation>(derzeit belegt)</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;On recording the raw data is saved in so called minutes files. &lt;br/&gt;Each minute file is zipped. Extension is &amp;lt;*.rrd0.gz&amp;gt;&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Bei der Aufnahme werden die Rohdaten in sogenannten Minutendateien gespeichert. &lt;br/&gt;Jede Minutendatei ist komprimiert. Die Endung ist &amp;lt;*.rrd0.gz&amp;gt;&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>Currently available: %1% of %2TiB</source>
        <translation>Derzeit frei: %1% von %2 TiB</translation>
    </message>
    <message>
        <source>recording data path</source>
        <translation>Pfad der Aufnahmedaten</translation>
    </message>
    <message>
        <source>Colour map:</source>
        <translation>Farbtabelle:</translation>
    </message>
    <message>
        <source>Colours of the spectrogram and its colour bar. Viridis, cividis and greyscale are perceptually uniform; cividis also reads alike with red-green colour blindness.</source>
        <translation>Farben des Spektrogramms und seiner Farbskala. Viridis, Cividis und Graustufen sind wahrnehmungsgleichmäßig; Cividis liest sich auch bei Rot-Grün-Farbenblindheit gleich.</translation>
    </message>
</context>
<context>
    <name>SkDialogContrl</name>
    <message>
        <source>Radar command port communication</source>
        <translation>Verbindung zum Befehlsport des Radars</translation>
    </message>
    <message>
        <source>IP-Address:</source>
        <translation>IP-Adresse:</translation>
    </message>
    <message>
        <source>Port:</source>
        <translation>Port:</translation>
    </message>
    <message>
        <source>(Re)connect</source>
        <translation>(Neu) verbinden</translation>
    </message>
    <message>
        <source>Commands</source>
        <translation>Befehle</translation>
    </message>
    <message>
        <source>STOP</source>
        <translation>STOP</translation>
    </message>
    <message>
        <source>START</source>
        <translation>START</translation>
    </message>
    <message>
        <source>WAKEUP</source>
        <translation>WAKEUP</translation>
    </message>
    <message>
        <source>SUSPEND</source>
        <translation>SUSPEND</translation>
    </message>
    <message>
        <source>STATUS</source>
        <translation>STATUS</translation>
    </message>
    <message>
        <source>Command sequence</source>
        <translation>Befehlsfolge</translation>
    </message>
    <message>
        <source>S small</source>
        <translation>S klein</translation>
    </message>
    <message>
        <source>Edit</source>
        <translation>Bearbeiten</translation>
    </message>
    <message>
        <source>S full</source>
        <translation>S voll</translation>
    </message>
    <message>
        <source>S1</source>
        <translation>S1</translation>
    </message>
    <message>
        <source>S2</source>
        <translation>S2</translation>
    </message>
    <message>
        <source>S3</source>
        <translation>S3</translation>
    </message>
    <message>
        <source>Send and execute</source>
        <translation>Senden und ausführen</translation>
    </message>
    <message>
        <source>Clear both screens</source>
        <translation>Beide Anzeigen leeren</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>The port must be a number from 1 to 65535.</source>
        <translation>Der Port muss eine Zahl von 1 bis 65535 sein.</translation>
    </message>
    <message>
        <source>The host was not found. Please check the host name and port settings.</source>
        <translation>Der Rechner wurde nicht gefunden. Bitte Rechnername und Port prüfen.</translation>
    </message>
    <message>
        <source>The connection was refused by the peer. Make sure the radar command port is running, and check that the host name and port settings are correct.</source>
        <translation>Die Gegenstelle hat die Verbindung abgelehnt. Bitte sicherstellen, dass der Befehlsport des Radars läuft, und Rechnername und Port prüfen.</translation>
    </message>
    <message>
        <source>The following error occurred: %1.</source>
        <translation>Folgender Fehler ist aufgetreten: %1.</translation>
    </message>
    <message>
        <source>Radar command port</source>
        <translation>Befehlsport des Radars</translation>
    </message>
    <message>
        <source>Not connected: nothing was sent. Press &quot;(Re)connect&quot; first.</source>
        <translation>Nicht verbunden: Es wurde nichts gesendet. Zuerst „(Neu) verbinden“ drücken.</translation>
    </message>
</context>
<context>
    <name>SkDialogEditCmds</name>
    <message>
        <source>Dialog</source>
        <translation>Befehlsfolge bearbeiten</translation>
    </message>
    <message>
        <source>Reset</source>
        <translation>Zurücksetzen</translation>
    </message>
</context>
<context>
    <name>SkDialogGoTo</name>
    <message>
        <source>Go To</source>
        <translation>Gehe zu</translation>
    </message>
    <message>
        <source>&amp;Frame or time</source>
        <translation>&amp;Frame oder Zeit</translation>
    </message>
    <message>
        <source>A frame number, or a date and time in the zone the window shows</source>
        <translation>Eine Frame-Nummer oder ein Datum mit Uhrzeit in der Zone, die das Fenster zeigt</translation>
    </message>
    <message>
        <source>1234 or 2024-02-01 06:05:30</source>
        <translation>1234 oder 2024-02-01 06:05:30</translation>
    </message>
    <message>
        <source>A frame number (1234), or a date and time in %1: 2024-02-01 06:05:30 (the seconds and their decimals may be left out), or a time alone (06:05:30) on the day of the frame shown.</source>
        <translation>Eine Frame-Nummer (1234), ein Datum mit Uhrzeit in %1: 2024-02-01 06:05:30 (Sekunden und ihre Nachkommastellen dürfen fehlen) oder eine Uhrzeit allein (06:05:30) am Tag des gezeigten Frames.</translation>
    </message>
    <message>
        <source>it holds frames %1 to %2</source>
        <translation>er hält die Frames %1 bis %2</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is neither a frame number nor a date and time such as 2024-02-01 06:05:30.</source>
        <translation>&quot;%1&quot; ist weder eine Frame-Nummer noch ein Datum mit Uhrzeit wie 2024-02-01 06:05:30.</translation>
    </message>
    <message>
        <source>Frame %1 (%2) is the nearest held frame to %3</source>
        <translation>Frame %1 (%2) ist der gehaltene Frame, der %3 am nächsten liegt</translation>
    </message>
    <message>
        <source>No frames are in memory.</source>
        <translation>Es sind keine Frames im Speicher.</translation>
    </message>
    <message>
        <source>The frames in memory carry no time (%1): go to a frame number instead.</source>
        <translation>Die Frames im Speicher tragen keine Zeit (%1): gehen Sie stattdessen zu einer Frame-Nummer.</translation>
    </message>
    <message>
        <source>%1 is before the frames in memory (%2).</source>
        <translation>%1 liegt vor den Frames im Speicher (%2).</translation>
    </message>
    <message>
        <source>Frame %1 is no longer in memory (%2).</source>
        <translation>Frame %1 ist nicht mehr im Speicher (%2).</translation>
    </message>
    <message>
        <source>%1 is after the frames in memory (%2).</source>
        <translation>%1 liegt nach den Frames im Speicher (%2).</translation>
    </message>
    <message>
        <source>Frame %1 is not in memory yet (%2).</source>
        <translation>Frame %1 ist noch nicht im Speicher (%2).</translation>
    </message>
</context>
<context>
    <name>SkDialogOpenFile</name>
    <message>
        <source>Open Files</source>
        <translation>Dateien öffnen</translation>
    </message>
    <message>
        <source>Files to open </source>
        <translation>Zu öffnende Dateien </translation>
    </message>
    <message>
        <source>Add Files</source>
        <translation>Dateien hinzufügen</translation>
    </message>
    <message>
        <source>Remove Files</source>
        <translation>Dateien entfernen</translation>
    </message>
    <message>
        <source>Remove All</source>
        <translation>Alle entfernen</translation>
    </message>
    <message>
        <source>Move Up</source>
        <translation>Nach oben</translation>
    </message>
    <message>
        <source>Move Down</source>
        <translation>Nach unten</translation>
    </message>
    <message>
        <source>Sort Files</source>
        <translation>Dateien sortieren</translation>
    </message>
    <message>
        <source>Max Size</source>
        <translation>Höchstgröße</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Number of frames to hold in memory.&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Anzahl der Frames, die im Speicher gehalten werden.&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source> frames</source>
        <translation> Frames</translation>
    </message>
    <message>
        <source>Batch Size</source>
        <translation>Schrittweite</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Number of frames to advance if max size is reached.&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Anzahl der Frames, um die weitergegangen wird, wenn die Höchstgröße erreicht ist.&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Loading from files will read &amp;quot;Max&#xa0;Size&amp;quot; frames at once and advance by &amp;quot;Batch&#xa0;Size&amp;quot; frames, when pressing &amp;lt;Space&amp;gt; .&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Beim Laden aus Dateien werden &amp;quot;Höchstgröße&amp;quot; Frames auf einmal gelesen; mit &amp;lt;Leertaste&amp;gt; geht es um &amp;quot;Schrittweite&amp;quot; Frames weiter.&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>Radar Data Files (*.rrd *.rrd0 *.rrd.gz *.rrd0.gz *.zip *.raw)</source>
        <translation>Radardateien (*.rrd *.rrd0 *.rrd.gz *.rrd0.gz *.zip *.raw)</translation>
    </message>
</context>
<context>
    <name>SkDialogOpenStream</name>
    <message>
        <source>Open Stream</source>
        <translation>Datenstrom öffnen</translation>
    </message>
    <message>
        <source>Host</source>
        <translation>Rechner</translation>
    </message>
    <message>
        <source>radar ip (192.168.1.30)</source>
        <translation>Radar-IP (192.168.1.30)</translation>
    </message>
    <message>
        <source>radar ip (192.168.1.31)</source>
        <translation>Radar-IP (192.168.1.31)</translation>
    </message>
    <message>
        <source>Port</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>Max Size</source>
        <translation>Höchstgröße</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Number of frames to hold in memory.&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Anzahl der Frames, die im Speicher gehalten werden.&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source> frames</source>
        <translation> Frames</translation>
    </message>
    <message>
        <source>Batch Size</source>
        <translation>Schrittweite</translation>
    </message>
    <message>
        <source>Number of frames to advance if max size is reached.</source>
        <translation>Anzahl der Frames, um die weitergegangen wird, wenn die Höchstgröße erreicht ist.</translation>
    </message>
    <message>
        <source>Loading from a stream will read &quot;Max Size&quot; frames at once&lt;br /&gt; and advance by &quot;Batch Size&quot; frames automatically. </source>
        <translation>Beim Laden aus einem Datenstrom werden &quot;Höchstgröße&quot; Frames gehalten;&lt;br /&gt; danach geht es selbsttätig um &quot;Schrittweite&quot; Frames weiter. </translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Press &amp;lt;Space&amp;gt; to stop/continue loading.&lt;br /&gt; &amp;quot;Batch Size&amp;quot; frames will be cached.&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;&amp;lt;Leertaste&amp;gt; hält das Laden an oder setzt es fort.&lt;br /&gt; &amp;quot;Schrittweite&amp;quot; Frames werden zwischengespeichert.&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
</context>
<context>
    <name>SkExportService</name>
    <message>
        <source>Open failed! %1: %2</source>
        <translation>Öffnen fehlgeschlagen! %1: %2</translation>
    </message>
    <message>
        <source>Write failed! %1: %2</source>
        <translation>Schreiben fehlgeschlagen! %1: %2</translation>
    </message>
    <message>
        <source>%1 frames saved to %2</source>
        <translation>%1 Frames nach %2 gespeichert</translation>
    </message>
    <message>
        <source>Export to %1 failed: %2</source>
        <translation>Export nach %1 fehlgeschlagen: %2</translation>
    </message>
    <message>
        <source>Exported to %1</source>
        <translation>Nach %1 exportiert</translation>
    </message>
    <message>
        <source>Date</source>
        <translation>Datum</translation>
    </message>
    <message>
        <source>Rangegate</source>
        <translation>Range-Gate</translation>
    </message>
    <message>
        <source>Date (text)</source>
        <translation>Datum (Text)</translation>
    </message>
    <message>
        <source>Screen capture failed! (%1)</source>
        <translation>Bildschirmfoto fehlgeschlagen! (%1)</translation>
    </message>
    <message>
        <source>Screen capture saved as %1</source>
        <translation>Bildschirmfoto gespeichert als %1</translation>
    </message>
    <message>
        <source>Save file to</source>
        <translation>Datei speichern unter</translation>
    </message>
    <message>
        <source>gz (*.rrd0.gz)</source>
        <translation>gz (*.rrd0.gz)</translation>
    </message>
    <message>
        <source>xlsx (*.xlsx)</source>
        <translation>xlsx (*.xlsx)</translation>
    </message>
    <message>
        <source>No frames in memory to save</source>
        <translation>Keine Frames im Speicher, die gespeichert werden könnten</translation>
    </message>
    <message>
        <source>Not saved: %1 is being viewed; save the frames under another name</source>
        <translation>Nicht gespeichert: %1 wird gerade angezeigt; die Frames unter einem anderen Namen speichern</translation>
    </message>
    <message>
        <source>Folder for snapshots</source>
        <translation>Ordner für Bildschirmfotos</translation>
    </message>
</context>
<context>
    <name>SkMainWindow</name>
    <message>
        <source>Skarnel</source>
        <translation>Skarnel</translation>
    </message>
    <message>
        <source>Profile of the marked channel over the range gates</source>
        <translation>Verlauf des markierten Kanals über die Range-Gates</translation>
    </message>
    <message>
        <source>Profile of the marked range gate over the channels</source>
        <translation>Verlauf des markierten Range-Gates über die Kanäle</translation>
    </message>
    <message>
        <source>Show What</source>
        <translation>Anzeige</translation>
    </message>
    <message>
        <source>Which matrix of the frame is shown</source>
        <translation>Welche Matrix des Frames angezeigt wird</translation>
    </message>
    <message>
        <source>Show How</source>
        <translation>Ansicht</translation>
    </message>
    <message>
        <source>One frame, one range gate over time, or one channel over time</source>
        <translation>Ein Frame, ein Range-Gate über die Zeit oder ein Kanal über die Zeit</translation>
    </message>
    <message>
        <source>RG/Ch</source>
        <translation>RG/Kan</translation>
    </message>
    <message>
        <source>Range gate of the marker</source>
        <translation>Range-Gate der Markierung</translation>
    </message>
    <message>
        <source>Doppler channel of the marker</source>
        <translation>Doppler-Kanal der Markierung</translation>
    </message>
    <message>
        <source>Pea&amp;k Shift</source>
        <translation>Spitzen&amp;verschiebung</translation>
    </message>
    <message>
        <source>Rotate the spectra so the zero velocity lies at the left, right of it, or in the middle</source>
        <translation>Spektren so drehen, dass die Geschwindigkeit null links, rechts davon oder in der Mitte liegt</translation>
    </message>
    <message>
        <source>Colour Scale</source>
        <translation>Farbskala</translation>
    </message>
    <message>
        <source>Top of the colour scale</source>
        <translation>Obergrenze der Farbskala</translation>
    </message>
    <message>
        <source>Top of the left axis (avalanche curves)</source>
        <translation>Obergrenze der linken Achse (Lawinenkurven)</translation>
    </message>
    <message>
        <source>Top of the right axis (water level, rain and live curves)</source>
        <translation>Obergrenze der rechten Achse (Pegel-, Regen- und Live-Kurven)</translation>
    </message>
    <message>
        <source>Bottom of the right axis</source>
        <translation>Untergrenze der rechten Achse</translation>
    </message>
    <message>
        <source>Frame on display</source>
        <translation>Angezeigter Frame</translation>
    </message>
    <message>
        <source>&lt;info&gt;</source>
        <translation>&lt;Info&gt;</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Datei</translation>
    </message>
    <message>
        <source>&amp;Edit</source>
        <translation>&amp;Bearbeiten</translation>
    </message>
    <message>
        <source>Display</source>
        <translation>Anzeige</translation>
    </message>
    <message>
        <source>Extras</source>
        <translation>Extras</translation>
    </message>
    <message>
        <source>Last Used Parameters</source>
        <translation>Zuletzt verwendete Parameter</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Hilfe</translation>
    </message>
    <message>
        <source>Tool Bar</source>
        <translation>Werkzeugleiste</translation>
    </message>
    <message>
        <source>&amp;Details</source>
        <translation>&amp;Details</translation>
    </message>
    <message>
        <source>The shown frame&apos;s process parameters</source>
        <translation>Die Prozessparameter des angezeigten Frames</translation>
    </message>
    <message>
        <source>&amp;Parameters</source>
        <translation>&amp;Parameter</translation>
    </message>
    <message>
        <source>Avalanche</source>
        <translation>Lawine</translation>
    </message>
    <message>
        <source>Background Length</source>
        <translation>Hintergrundlänge</translation>
    </message>
    <message>
        <source>Frames averaged into one background candidate</source>
        <translation>Frames, die zu einem Hintergrundkandidaten gemittelt werden</translation>
    </message>
    <message>
        <source>Background Delay</source>
        <translation>Hintergrundverzögerung</translation>
    </message>
    <message>
        <source>Background candidates the background lags behind the current frame</source>
        <translation>Hintergrundkandidaten, um die der Hintergrund dem aktuellen Frame nachläuft</translation>
    </message>
    <message>
        <source>Average Time</source>
        <translation>Zeitmittel</translation>
    </message>
    <message>
        <source>Frames in the time average</source>
        <translation>Frames im Zeitmittel</translation>
    </message>
    <message>
        <source>Average Spectrum</source>
        <translation>Spektralmittel</translation>
    </message>
    <message>
        <source>Radius n of the spectral average over 2n+1 channels</source>
        <translation>Radius n des Spektralmittels über 2n+1 Kanäle</translation>
    </message>
    <message>
        <source>Toward Search</source>
        <translation>Annäherungssuche</translation>
    </message>
    <message>
        <source>Frames an approaching event is searched for; also the alarm-off delay</source>
        <translation>Frames, über die ein sich näherndes Ereignis gesucht wird; zugleich die Abschaltverzögerung des Alarms</translation>
    </message>
    <message>
        <source>Avalanche0</source>
        <translation>Lawine0</translation>
    </message>
    <message>
        <source>Avalanche Detector 0</source>
        <translation>Lawinendetektor 0</translation>
    </message>
    <message>
        <source>Length Min</source>
        <translation>Mindestlänge</translation>
    </message>
    <message>
        <source>Channels a run above the threshold needs</source>
        <translation>Kanäle, die eine Folge über der Schwelle mindestens braucht</translation>
    </message>
    <message>
        <source>Per Column Min</source>
        <translation>Min. je Spalte</translation>
    </message>
    <message>
        <source>Consecutive range gates a group needs</source>
        <translation>Aufeinanderfolgende Range-Gates, die eine Gruppe braucht</translation>
    </message>
    <message>
        <source>Per Row Min</source>
        <translation>Min. je Zeile</translation>
    </message>
    <message>
        <source>Runs a range gate needs</source>
        <translation>Folgen, die ein Range-Gate braucht</translation>
    </message>
    <message>
        <source>Border Left</source>
        <translation>Rand links</translation>
    </message>
    <message>
        <source>Channels cut off at the low end</source>
        <translation>Am unteren Ende abgeschnittene Kanäle</translation>
    </message>
    <message>
        <source>Border Right</source>
        <translation>Rand rechts</translation>
    </message>
    <message>
        <source>Channels cut off at the high end</source>
        <translation>Am oberen Ende abgeschnittene Kanäle</translation>
    </message>
    <message>
        <source>RGs to Ignore</source>
        <translation>Ignorierte RGs</translation>
    </message>
    <message>
        <source>Range gates this detector does not evaluate, separated by blanks</source>
        <translation>Range-Gates, die dieser Detektor nicht auswertet, durch Leerzeichen getrennt</translation>
    </message>
    <message>
        <source>e.g. 3 4 17</source>
        <translation>z. B. 3 4 17</translation>
    </message>
    <message>
        <source>Special RGs</source>
        <translation>Besondere RGs</translation>
    </message>
    <message>
        <source>Range gates that raise the special message during an alarm</source>
        <translation>Range-Gates, die während eines Alarms die Sondermeldung auslösen</translation>
    </message>
    <message>
        <source>RGs no Alarm</source>
        <translation>RGs ohne Alarm</translation>
    </message>
    <message>
        <source>Range gates where an approaching event does not switch the alarm on</source>
        <translation>Range-Gates, an denen ein sich näherndes Ereignis den Alarm nicht einschaltet</translation>
    </message>
    <message>
        <source>Sum per Row Min</source>
        <translation>Min. Summe je Zeile</translation>
    </message>
    <message>
        <source>Activity a range gate needs</source>
        <translation>Aktivität, die ein Range-Gate braucht</translation>
    </message>
    <message>
        <source>Sum of Sums Min</source>
        <translation>Min. Gesamtsumme</translation>
    </message>
    <message>
        <source>Total activity an event needs</source>
        <translation>Gesamtaktivität, die ein Ereignis braucht</translation>
    </message>
    <message>
        <source>Threshold On</source>
        <translation>Schwelle ein</translation>
    </message>
    <message>
        <source>Normalised level a channel must exceed</source>
        <translation>Normierter Pegel, den ein Kanal überschreiten muss</translation>
    </message>
    <message>
        <source>Threshold Off</source>
        <translation>Schwelle aus</translation>
    </message>
    <message>
        <source>Level while the alarm is on; 0 uses the threshold on</source>
        <translation>Pegel, solange der Alarm an ist; 0 nimmt die Einschaltschwelle</translation>
    </message>
    <message>
        <source>Pre-alarm on same RGs</source>
        <translation>Voralarm bei gleichen RGs</translation>
    </message>
    <message>
        <source>Report a pre-alarm when the same range gates are active again</source>
        <translation>Einen Voralarm melden, wenn dieselben Range-Gates wieder aktiv sind</translation>
    </message>
    <message>
        <source>Avalanche Detector 1</source>
        <translation>Lawinendetektor 1</translation>
    </message>
    <message>
        <source>Avalanche Detector 2</source>
        <translation>Lawinendetektor 2</translation>
    </message>
    <message>
        <source>Waterelevel0</source>
        <translation>Pegel0</translation>
    </message>
    <message>
        <source>Waterlevel Detector 0</source>
        <translation>Pegeldetektor 0</translation>
    </message>
    <message>
        <source>Channel Begin</source>
        <translation>Erster Kanal</translation>
    </message>
    <message>
        <source>First channel summed</source>
        <translation>Erster summierter Kanal</translation>
    </message>
    <message>
        <source>Channel Width</source>
        <translation>Kanalbreite</translation>
    </message>
    <message>
        <source>Channels summed</source>
        <translation>Summierte Kanäle</translation>
    </message>
    <message>
        <source>Rangegate</source>
        <translation>Range-Gate</translation>
    </message>
    <message>
        <source>The range gate watched</source>
        <translation>Das beobachtete Range-Gate</translation>
    </message>
    <message>
        <source>Samples</source>
        <translation>Stichproben</translation>
    </message>
    <message>
        <source>Frames in the moving mean</source>
        <translation>Frames im gleitenden Mittel</translation>
    </message>
    <message>
        <source>Alarm On</source>
        <translation>Alarm ein</translation>
    </message>
    <message>
        <source>Mean at which the alarm goes on; 0 never</source>
        <translation>Mittelwert, bei dem der Alarm angeht; 0 nie</translation>
    </message>
    <message>
        <source>Alarm Off</source>
        <translation>Alarm aus</translation>
    </message>
    <message>
        <source>Mean at which the alarm goes off</source>
        <translation>Mittelwert, bei dem der Alarm ausgeht</translation>
    </message>
    <message>
        <source>Incident On</source>
        <translation>Vorfall ein</translation>
    </message>
    <message>
        <source>Mean at which an incident begins; 0 never</source>
        <translation>Mittelwert, bei dem ein Vorfall beginnt; 0 nie</translation>
    </message>
    <message>
        <source>Incident Off</source>
        <translation>Vorfall aus</translation>
    </message>
    <message>
        <source>Mean at which an incident ends</source>
        <translation>Mittelwert, bei dem ein Vorfall endet</translation>
    </message>
    <message>
        <source>Rain0</source>
        <translation>Regen0</translation>
    </message>
    <message>
        <source>Rain Detector 0</source>
        <translation>Regendetektor 0</translation>
    </message>
    <message>
        <source>Frames the rain background lags behind</source>
        <translation>Frames, um die der Regenhintergrund nachläuft</translation>
    </message>
    <message>
        <source>Frames in the rain time average</source>
        <translation>Frames im Zeitmittel des Regens</translation>
    </message>
    <message>
        <source>Radius of the rain spectral average</source>
        <translation>Radius des Spektralmittels für Regen</translation>
    </message>
    <message>
        <source>Range gates the rain detector does not sum, separated by blanks</source>
        <translation>Range-Gates, die der Regendetektor nicht summiert, durch Leerzeichen getrennt</translation>
    </message>
    <message>
        <source>Activity at which the rain alarm goes on</source>
        <translation>Aktivität, bei der der Regenalarm angeht</translation>
    </message>
    <message>
        <source>Activity at which the rain alarm goes off</source>
        <translation>Aktivität, bei der der Regenalarm ausgeht</translation>
    </message>
    <message>
        <source>Live</source>
        <translation>Live</translation>
    </message>
    <message>
        <source>Enable Live</source>
        <translation>Live einschalten</translation>
    </message>
    <message>
        <source>First channel of the live activity window</source>
        <translation>Erster Kanal des Live-Aktivitätsfensters</translation>
    </message>
    <message>
        <source>Channels Cut Last</source>
        <translation>Abgeschnittene Kanäle am Ende</translation>
    </message>
    <message>
        <source>Channels cut off at the high end of the live activity window</source>
        <translation>Am oberen Ende des Live-Aktivitätsfensters abgeschnittene Kanäle</translation>
    </message>
    <message>
        <source>Velocity Channel Begin</source>
        <translation>Erster Geschwindigkeitskanal</translation>
    </message>
    <message>
        <source>First channel the live velocities look at</source>
        <translation>Erster Kanal, den die Live-Geschwindigkeiten betrachten</translation>
    </message>
    <message>
        <source>Velocity Low Limit</source>
        <translation>Geschwindigkeit Untergrenze</translation>
    </message>
    <message>
        <source>Level a channel needs to count for the live velocities</source>
        <translation>Pegel, den ein Kanal braucht, um für die Live-Geschwindigkeiten zu zählen</translation>
    </message>
    <message>
        <source>Velocity Source</source>
        <translation>Geschwindigkeitsquelle</translation>
    </message>
    <message>
        <source>Spectra the live velocities are taken from</source>
        <translation>Spektren, aus denen die Live-Geschwindigkeiten stammen</translation>
    </message>
    <message>
        <source>Enable Channel0</source>
        <translation>Kanal0 einschalten</translation>
    </message>
    <message>
        <source>Compute the level of channel 0 per range gate</source>
        <translation>Den Pegel von Kanal 0 je Range-Gate berechnen</translation>
    </message>
    <message>
        <source>Enable #-Sum</source>
        <translation>#-Summe einschalten</translation>
    </message>
    <message>
        <source>Compute the activity per range gate</source>
        <translation>Die Aktivität je Range-Gate berechnen</translation>
    </message>
    <message>
        <source>Enable Mode</source>
        <translation>Modus einschalten</translation>
    </message>
    <message>
        <source>Compute the main (mode) velocity per range gate</source>
        <translation>Die Hauptgeschwindigkeit (Modus) je Range-Gate berechnen</translation>
    </message>
    <message>
        <source>Enable Max Velocity</source>
        <translation>Max. Geschwindigkeit einschalten</translation>
    </message>
    <message>
        <source>Compute the maximum velocity per range gate</source>
        <translation>Die höchste Geschwindigkeit je Range-Gate berechnen</translation>
    </message>
    <message>
        <source>Enable Median Velocity</source>
        <translation>Mediangeschwindigkeit einschalten</translation>
    </message>
    <message>
        <source>Compute the median velocity per range gate</source>
        <translation>Die Mediangeschwindigkeit je Range-Gate berechnen</translation>
    </message>
    <message>
        <source>Recalculate</source>
        <translation>Neu berechnen</translation>
    </message>
    <message>
        <source>Compute the alarms of all frames in memory again with these parameters</source>
        <translation>Die Alarme aller Frames im Speicher mit diesen Parametern neu berechnen</translation>
    </message>
    <message>
        <source>PP</source>
        <translation>PP</translation>
    </message>
    <message>
        <source>Take the parameters from the radar&apos;s process parameters in the shown frame and compute again</source>
        <translation>Die Parameter aus den Prozessparametern des Radars im angezeigten Frame übernehmen und neu berechnen</translation>
    </message>
    <message>
        <source>&amp;Live</source>
        <translation>&amp;Live</translation>
    </message>
    <message>
        <source>Live value shown over the range gates</source>
        <translation>Über die Range-Gates angezeigter Live-Wert</translation>
    </message>
    <message>
        <source>Lo&amp;g</source>
        <translation>Lo&amp;g</translation>
    </message>
    <message>
        <source>&amp;RG Sum</source>
        <translation>&amp;RG-Summe</translation>
    </message>
    <message>
        <source>Begin</source>
        <translation>Anfang</translation>
    </message>
    <message>
        <source>summation start channel</source>
        <translation>Erster Kanal der Summe</translation>
    </message>
    <message>
        <source>Last</source>
        <translation>Ende</translation>
    </message>
    <message>
        <source>Summation last channel</source>
        <translation>Letzter Kanal der Summe</translation>
    </message>
    <message>
        <source>&amp;Computed</source>
        <translation>&amp;Berechnet</translation>
    </message>
    <message>
        <source>What the detectors computed for the shown frame</source>
        <translation>Was die Detektoren für den angezeigten Frame berechnet haben</translation>
    </message>
    <message>
        <source>Open &amp;Files</source>
        <translation>&amp;Dateien öffnen</translation>
    </message>
    <message>
        <source>Open Multiple Files</source>
        <translation>Mehrere Dateien öffnen</translation>
    </message>
    <message>
        <source>Ctrl+F</source>
        <translation>Ctrl+F</translation>
    </message>
    <message>
        <source>&amp;Quit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message>
        <source>Ctrl+Q</source>
        <translation>Ctrl+Q</translation>
    </message>
    <message>
        <source>&amp;Next Frame</source>
        <translation>&amp;Nächster Frame</translation>
    </message>
    <message>
        <source>Step to next frame</source>
        <translation>Zum nächsten Frame</translation>
    </message>
    <message>
        <source>Right</source>
        <translation>Right</translation>
    </message>
    <message>
        <source>P&amp;revious Frame</source>
        <translation>&amp;Vorheriger Frame</translation>
    </message>
    <message>
        <source>Step to previous frame</source>
        <translation>Zum vorherigen Frame</translation>
    </message>
    <message>
        <source>Left</source>
        <translation>Left</translation>
    </message>
    <message>
        <source>Open Data &amp;Stream</source>
        <translation>Daten&amp;strom öffnen</translation>
    </message>
    <message>
        <source>&amp;Reopen</source>
        <translation>&amp;Erneut öffnen</translation>
    </message>
    <message>
        <source>Reopen the current files or stream</source>
        <translation>Die aktuellen Dateien oder den Datenstrom erneut öffnen</translation>
    </message>
    <message>
        <source>Ctrl+R</source>
        <translation>Ctrl+R</translation>
    </message>
    <message>
        <source>&amp;Play/Pause</source>
        <translation>&amp;Abspielen/Pause</translation>
    </message>
    <message>
        <source>Play continuosly or pause if cache is full</source>
        <translation>Fortlaufend abspielen oder anhalten, wenn der Speicher voll ist</translation>
    </message>
    <message>
        <source>Space</source>
        <translation>Space</translation>
    </message>
    <message>
        <source>-&amp;20 Frame</source>
        <translation>-&amp;20 Frames</translation>
    </message>
    <message>
        <source>Step backwards 20 frames</source>
        <translation>20 Frames zurück</translation>
    </message>
    <message>
        <source>Ctrl+Left</source>
        <translation>Ctrl+Left</translation>
    </message>
    <message>
        <source>+20 &amp;Frame</source>
        <translation>+20 &amp;Frames</translation>
    </message>
    <message>
        <source>Step forward by 20 frames</source>
        <translation>20 Frames vor</translation>
    </message>
    <message>
        <source>Ctrl+Right</source>
        <translation>Ctrl+Right</translation>
    </message>
    <message>
        <source>Next &amp;Batch</source>
        <translation>Nächster &amp;Schritt</translation>
    </message>
    <message>
        <source>Continue with next batch</source>
        <translation>Mit dem nächsten Schritt fortfahren</translation>
    </message>
    <message>
        <source>Ctrl+Space</source>
        <translation>Ctrl+Space</translation>
    </message>
    <message>
        <source>&amp;Open File</source>
        <translation>Datei ö&amp;ffnen</translation>
    </message>
    <message>
        <source>Open File</source>
        <translation>Datei öffnen</translation>
    </message>
    <message>
        <source>Ctrl+O</source>
        <translation>Ctrl+O</translation>
    </message>
    <message>
        <source>Preferences</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>Go To First Frame</source>
        <translation>Zum ersten Frame</translation>
    </message>
    <message>
        <source>Go to first frame and stay there </source>
        <translation>Zum ersten Frame gehen und dort bleiben </translation>
    </message>
    <message>
        <source>Home</source>
        <translation>Home</translation>
    </message>
    <message>
        <source>Take a &amp;Snapshot</source>
        <translation>&amp;Bildschirmfoto</translation>
    </message>
    <message>
        <source>Save current graph</source>
        <translation>Aktuelle Ansicht speichern</translation>
    </message>
    <message>
        <source>Ctrl+S</source>
        <translation>Ctrl+S</translation>
    </message>
    <message>
        <source>Save frames</source>
        <translation>Frames speichern</translation>
    </message>
    <message>
        <source>Save currently frames in memory to a file</source>
        <translation>Die Frames im Speicher in eine Datei schreiben</translation>
    </message>
    <message>
        <source>Open CMD Port</source>
        <translation>Befehlsport öffnen</translation>
    </message>
    <message>
        <source>About Skarnel...</source>
        <translation>Über Skarnel...</translation>
    </message>
    <message>
        <source>Options</source>
        <translation>Optionen</translation>
    </message>
    <message>
        <source>Import Parameters..</source>
        <translation>Parameter importieren..</translation>
    </message>
    <message>
        <source>Export Parameters..</source>
        <translation>Parameter exportieren..</translation>
    </message>
    <message>
        <source>Delete All Entries..</source>
        <translation>Alle Einträge löschen..</translation>
    </message>
    <message>
        <source>Export Params to Clipboard</source>
        <translation>Parameter in die Zwischenablage</translation>
    </message>
    <message>
        <source>Start Record</source>
        <translation>Aufnahme starten</translation>
    </message>
    <message>
        <source>Export row</source>
        <translation>Zeile exportieren</translation>
    </message>
    <message>
        <source>Export the currently selected row to xlxs</source>
        <translation>Die gewählte Zeile als xlsx exportieren</translation>
    </message>
    <message>
        <source>Show Legend</source>
        <translation>Legende anzeigen</translation>
    </message>
    <message>
        <source>Saving: %p%</source>
        <translation>Speichern: %p%</translation>
    </message>
    <message>
        <source>Frames in memory whose alarms have been computed</source>
        <translation>Frames im Speicher, deren Alarme berechnet sind</translation>
    </message>
    <message>
        <source>Show Details</source>
        <translation>Details anzeigen</translation>
    </message>
    <message>
        <source>Show Live</source>
        <translation>Live anzeigen</translation>
    </message>
    <message>
        <source>Show Sum of Rangegates</source>
        <translation>Summe der Range-Gates anzeigen</translation>
    </message>
    <message>
        <source>Show Log</source>
        <translation>Log anzeigen</translation>
    </message>
    <message>
        <source>Show Alarm Parameters</source>
        <translation>Alarmparameter anzeigen</translation>
    </message>
    <message>
        <source>Show Computed Parameters</source>
        <translation>Berechnete Werte anzeigen</translation>
    </message>
    <message>
        <source>Open Recent ...</source>
        <translation>Zuletzt geöffnet ...</translation>
    </message>
    <message>
        <source>Stream lost: %1</source>
        <translation>Datenstrom verloren: %1</translation>
    </message>
    <message>
        <source>Stream back</source>
        <translation>Datenstrom wieder da</translation>
    </message>
    <message>
        <source>Nothing to reopen: open files or a stream first</source>
        <translation>Nichts erneut zu öffnen: zuerst Dateien oder einen Datenstrom öffnen</translation>
    </message>
    <message>
        <source>%1 Frames dropped!</source>
        <translation>%1 Frames verworfen!</translation>
    </message>
    <message>
        <source>Currently no frame available</source>
        <translation>Derzeit kein Frame vorhanden</translation>
    </message>
    <message>
        <source>No process parameters found in frame</source>
        <translation>Keine Prozessparameter im Frame gefunden</translation>
    </message>
    <message>
        <source>Save parameters</source>
        <translation>Parameter speichern</translation>
    </message>
    <message>
        <source>ini (*.ini)</source>
        <translation>ini (*.ini)</translation>
    </message>
    <message>
        <source>Load parameters</source>
        <translation>Parameter laden</translation>
    </message>
    <message>
        <source>Parameters not written to %1: %2</source>
        <translation>Parameter nicht nach %1 geschrieben: %2</translation>
    </message>
    <message>
        <source>Parameters written to %1</source>
        <translation>Parameter nach %1 geschrieben</translation>
    </message>
    <message>
        <source>Parameters not read from %1: %2</source>
        <translation>Parameter nicht aus %1 gelesen: %2</translation>
    </message>
    <message>
        <source>Parameters read from %1</source>
        <translation>Parameter aus %1 gelesen</translation>
    </message>
    <message>
        <source>Remove path entry?</source>
        <translation>Pfadeintrag entfernen?</translation>
    </message>
    <message>
        <source>The filename</source>
        <translation>Die Datei</translation>
    </message>
    <message>
        <source>does not exist anymore!</source>
        <translation>existiert nicht mehr!</translation>
    </message>
    <message>
        <source>Shall I remove this entry?</source>
        <translation>Soll dieser Eintrag entfernt werden?</translation>
    </message>
    <message>
        <source>Delete all entries!</source>
        <translation>Alle Einträge löschen!</translation>
    </message>
    <message>
        <source>Do You really want to delete all entries?</source>
        <translation>Wirklich alle Einträge löschen?</translation>
    </message>
    <message>
        <source>Parameters not copied: no temporary file (%1)</source>
        <translation>Parameter nicht kopiert: keine temporäre Datei (%1)</translation>
    </message>
    <message>
        <source>Parameters copied to the clipboard</source>
        <translation>Parameter in die Zwischenablage kopiert</translation>
    </message>
    <message>
        <source>Original</source>
        <translation>Original</translation>
    </message>
    <message>
        <source>Original Filtered</source>
        <translation>Original gefiltert</translation>
    </message>
    <message>
        <source>Avalanche Normalized</source>
        <translation>Lawine normiert</translation>
    </message>
    <message>
        <source>Avalanche Background</source>
        <translation>Lawine Hintergrund</translation>
    </message>
    <message>
        <source>Live Half Sym</source>
        <translation>Live halbsymmetrisch</translation>
    </message>
    <message>
        <source>Frame</source>
        <translation>Frame</translation>
    </message>
    <message>
        <source>Rangegates</source>
        <translation>Range-Gates</translation>
    </message>
    <message>
        <source>Velocities</source>
        <translation>Geschwindigkeiten</translation>
    </message>
    <message>
        <source>No Shift</source>
        <translation>Ohne</translation>
    </message>
    <message>
        <source>To Right</source>
        <translation>Nach rechts</translation>
    </message>
    <message>
        <source>To Middle</source>
        <translation>Zur Mitte</translation>
    </message>
    <message>
        <source>#-Sum</source>
        <translation>#-Summe</translation>
    </message>
    <message>
        <source>Channel0</source>
        <translation>Kanal0</translation>
    </message>
    <message>
        <source>Mode</source>
        <translation>Modus</translation>
    </message>
    <message>
        <source>Max Velocity</source>
        <translation>Max. Geschwindigkeit</translation>
    </message>
    <message>
        <source>Median Velocity</source>
        <translation>Mediangeschwindigkeit</translation>
    </message>
    <message>
        <source>Raw</source>
        <translation>Roh</translation>
    </message>
    <message>
        <source>Normalized</source>
        <translation>Normiert</translation>
    </message>
    <message>
        <source>Doppler channel</source>
        <translation>Doppler-Kanal</translation>
    </message>
    <message>
        <source>Range gate</source>
        <translation>Range-Gate</translation>
    </message>
    <message>
        <source>Channel profile</source>
        <translation>Kanalverlauf</translation>
    </message>
    <message>
        <source>Level</source>
        <translation>Pegel</translation>
    </message>
    <message>
        <source>Range gate profile</source>
        <translation>Range-Gate-Verlauf</translation>
    </message>
    <message>
        <source>Normalized sum - channels (a.u.)</source>
        <translation>Normierte Summe der Kanäle (w. E.)</translation>
    </message>
    <message>
        <source>Frame (from the first held)</source>
        <translation>Frame (ab dem ersten gehaltenen)</translation>
    </message>
    <message>
        <source>Fr: %1 (%2 %5, dt: %4 s) Source: %3</source>
        <translation>Fr: %1 (%2 %5, dt: %4 s) Quelle: %3</translation>
    </message>
    <message>
        <source>Export row to</source>
        <translation>Zeile exportieren nach</translation>
    </message>
    <message>
        <source>Export menu</source>
        <translation>Exportmenü</translation>
    </message>
    <message>
        <source>Export plot %1 ..</source>
        <translation>Kurve %1 exportieren ..</translation>
    </message>
    <message>
        <source>Save file to</source>
        <translation>Datei speichern unter</translation>
    </message>
    <message>
        <source>Screen capture failed!</source>
        <translation>Bildschirmfoto fehlgeschlagen!</translation>
    </message>
    <message>
        <source>Fit</source>
        <translation>Anpassen</translation>
    </message>
    <message>
        <source>Fit the left axis to the avalanche curves shown (a limit set here turns it off)</source>
        <translation>Die linke Achse an die gezeigten Lawinenkurven anpassen (eine hier gesetzte Grenze schaltet das ab)</translation>
    </message>
    <message>
        <source>Fit the right axis to the water-level, rain and live curves shown (a limit set here turns it off)</source>
        <translation>Die rechte Achse an die gezeigten Wasserstands-, Regen- und Live-Kurven anpassen (eine hier gesetzte Grenze schaltet das ab)</translation>
    </message>
    <message>
        <source>Log</source>
        <translation>Log</translation>
    </message>
    <message>
        <source>Logarithmic right axis: rain near 1 and water level near 100000 both readable</source>
        <translation>Logarithmische rechte Achse: Regen um 1 und Wasserstand um 100000 zugleich lesbar</translation>
    </message>
    <message>
        <source>Parameters not read: %1</source>
        <translation>Parameter nicht gelesen: %1</translation>
    </message>
    <message numerus="yes">
        <source>Parameters read from %1 with %n warning(s)</source>
        <translation>
            <numerusform>Parameter aus %1 gelesen, mit %n Warnung</numerusform>
            <numerusform>Parameter aus %1 gelesen, mit %n Warnungen</numerusform>
        </translation>
    </message>
    <message>
        <source>%1: press &quot;Recalculate&quot; to analyse the frames in memory with them</source>
        <translation>%1: „Neu berechnen“ drücken, um die Frames im Speicher damit zu analysieren</translation>
    </message>
    <message>
        <source>Import Parameters</source>
        <translation>Parameter importieren</translation>
    </message>
    <message>
        <source>Auto</source>
        <translation>Auto</translation>
    </message>
    <message>
        <source>Colour levels from the matrix shown; moving the scale fixes them</source>
        <translation>Farbstufen aus der gezeigten Matrix; ein Verschieben der Skala legt sie fest</translation>
    </message>
    <message>
        <source>Double-click a row or press Enter on it to show its frame</source>
        <translation>Doppelklick auf eine Zeile oder Eingabetaste zeigt ihren Frame</translation>
    </message>
    <message>
        <source>Frame %1 is no longer in memory (it holds frames %2 to %3)</source>
        <translation>Frame %1 ist nicht mehr im Speicher (er hält die Frames %2 bis %3)</translation>
    </message>
    <message>
        <source>Fr: %1 (no time) Source: %2</source>
        <translation>Fr: %1 (keine Zeit) Quelle: %2</translation>
    </message>
    <message>
        <source>Display paused: the stream is still read, analysed and recorded</source>
        <translation>Anzeige angehalten: der Stream wird weiter gelesen, analysiert und aufgezeichnet</translation>
    </message>
    <message>
        <source>Doppler channel (no parameter block: no velocity)</source>
        <translation>Doppler-Kanal (kein Parameterblock: keine Geschwindigkeit)</translation>
    </message>
    <message>
        <source>Frame (from the first held; the frames carry no time)</source>
        <translation>Frame (ab dem ersten gehaltenen; die Frames tragen keine Zeit)</translation>
    </message>
    <message>
        <source>The frames carry no time: the slider counts frames</source>
        <translation>Die Frames tragen keine Zeit: der Schieber zählt Frames</translation>
    </message>
    <message>
        <source>The slider&apos;s times: %1</source>
        <translation>Zeiten des Schiebers: %1</translation>
    </message>
    <message>
        <source>&amp;Go To...</source>
        <translation>&amp;Gehe zu...</translation>
    </message>
    <message>
        <source>Show a frame by its number or time</source>
        <translation>Einen Frame nach Nummer oder Zeit zeigen</translation>
    </message>
    <message>
        <source>Ctrl+G</source>
        <translation>Ctrl+G</translation>
    </message>
    <message>
        <source>Detectors</source>
        <translation>Detektoren</translation>
    </message>
    <message>
        <source>Show the rows of these detectors</source>
        <translation>Die Zeilen dieser Detektoren anzeigen</translation>
    </message>
    <message>
        <source>Events</source>
        <translation>Ereignisarten</translation>
    </message>
    <message>
        <source>Show these kinds of event</source>
        <translation>Diese Arten von Ereignissen anzeigen</translation>
    </message>
    <message>
        <source>Export log...</source>
        <translation>Log exportieren...</translation>
    </message>
    <message>
        <source>Write every row of the log into a CSV file, as rrdcli analyze --log --log-time prints it</source>
        <translation>Alle Zeilen des Logs in eine CSV-Datei schreiben, so wie rrdcli analyze --log --log-time sie ausgibt</translation>
    </message>
</context>
<context>
    <name>SkParameterFiles</name>
    <message>
        <source>the file is not in INI format</source>
        <translation>die Datei ist nicht im INI-Format</translation>
    </message>
    <message>
        <source>%1 is a file, not a folder</source>
        <translation>%1 ist eine Datei, kein Ordner</translation>
    </message>
    <message>
        <source>the folder %1 cannot be made</source>
        <translation>der Ordner %1 lässt sich nicht anlegen</translation>
    </message>
    <message>
        <source>the path is a folder</source>
        <translation>der Pfad ist ein Ordner</translation>
    </message>
    <message>
        <source>the file is write-protected</source>
        <translation>die Datei ist schreibgeschützt</translation>
    </message>
    <message>
        <source>the folder %1 is write-protected</source>
        <translation>der Ordner %1 ist schreibgeschützt</translation>
    </message>
    <message>
        <source>access denied</source>
        <translation>Zugriff verweigert</translation>
    </message>
</context>
<context>
    <name>SkPlotActivities</name>
    <message>
        <source>Avalanche 0</source>
        <translation>Lawine 0</translation>
    </message>
    <message>
        <source>Avalanche 1</source>
        <translation>Lawine 1</translation>
    </message>
    <message>
        <source>Avalanche 2</source>
        <translation>Lawine 2</translation>
    </message>
    <message>
        <source>Waterlevel</source>
        <translation>Pegel</translation>
    </message>
    <message>
        <source>Rain</source>
        <translation>Regen</translation>
    </message>
    <message>
        <source>Channel0</source>
        <translation>Kanal0</translation>
    </message>
    <message>
        <source>#-Sum</source>
        <translation>#-Summe</translation>
    </message>
    <message>
        <source>Mode</source>
        <translation>Modus</translation>
    </message>
    <message>
        <source>Max Velocity</source>
        <translation>Max. Geschwindigkeit</translation>
    </message>
    <message>
        <source>Median Velocity</source>
        <translation>Mediangeschwindigkeit</translation>
    </message>
    <message>
        <source>(m/s)</source>
        <translation>(m/s)</translation>
    </message>
    <message>
        <source>Avalanche (a.u.)</source>
        <translation>Lawine (w. E.)</translation>
    </message>
    <message>
        <source>Water level, rain, live values</source>
        <translation>Pegel, Regen, Live-Werte</translation>
    </message>
    <message>
        <source>(a.u.)</source>
        <translation>(w. E.)</translation>
    </message>
</context>
<context>
    <name>SkPlotSpectrogram</name>
    <message>
        <source>Channel</source>
        <translation>Kanal</translation>
    </message>
    <message>
        <source>Range gate</source>
        <translation>Range-Gate</translation>
    </message>
    <message>
        <source>Level (a.u.)</source>
        <translation>Pegel (w. E.)</translation>
    </message>
    <message>
        <source>Radial velocity (m/s)</source>
        <translation>Radialgeschwindigkeit (m/s)</translation>
    </message>
    <message>
        <source>%1 m/s</source>
        <translation>%1 m/s</translation>
    </message>
</context>
<context>
    <name>SkRecordingController</name>
    <message>
        <source>Long duration of file scannning</source>
        <translation>Die Dateisuche dauert lange</translation>
    </message>
    <message>
        <source>%1 *.rrd0.gz files found.</source>
        <translation>%1 *.rrd0.gz-Dateien gefunden.</translation>
    </message>
    <message>
        <source>Should I continue scanning and import files?</source>
        <translation>Weitersuchen und die Dateien übernehmen?</translation>
    </message>
    <message>
        <source>Recording: %1: %2</source>
        <translation>Aufnahme: %1: %2</translation>
    </message>
    <message>
        <source>Error recording</source>
        <translation>Fehler bei der Aufnahme</translation>
    </message>
    <message>
        <source>Record path is not writeable!</source>
        <translation>Der Aufnahmepfad ist nicht beschreibbar!</translation>
    </message>
    <message>
        <source>Recording not possible! Choose a new path!</source>
        <translation>Aufnahme nicht möglich! Bitte einen anderen Pfad wählen!</translation>
    </message>
    <message>
        <source>Currently available: %1% of %2TiB</source>
        <translation>Derzeit frei: %1% von %2 TiB</translation>
    </message>
    <message>
        <source>Found files for deleting</source>
        <translation>Dateien zum Löschen gefunden</translation>
    </message>
    <message>
        <source>%1 *.rrd0.gz files found for deleting!</source>
        <translation>%1 *.rrd0.gz-Dateien zum Löschen gefunden!</translation>
    </message>
    <message>
        <source>Delete files as necessary?
Oldest files first.
</source>
        <translation>Dateien nach Bedarf löschen?
Älteste Dateien zuerst.
</translation>
    </message>
    <message>
        <source>Disk full</source>
        <translation>Datenträger voll</translation>
    </message>
    <message>
        <source>Minimal free disk space (%1%) reached!
Continue recording?
</source>
        <translation>Mindestens freizuhaltender Speicherplatz (%1%) erreicht!
Aufnahme fortsetzen?
</translation>
    </message>
    <message>
        <source>Recording to %1</source>
        <translation>Aufnahme nach %1</translation>
    </message>
    <message>
        <source>No record path is set!</source>
        <translation>Es ist kein Aufnahmepfad eingestellt!</translation>
    </message>
    <message>
        <source>Recording not possible! Choose a record path in the options.</source>
        <translation>Aufnahme nicht möglich! Bitte in den Optionen einen Aufnahmepfad wählen.</translation>
    </message>
    <message>
        <source>%1 frames written to %3 (minute files: %2)</source>
        <translation>%1 Frames nach %3 geschrieben (Minutendateien: %2)</translation>
    </message>
    <message>
        <source>Recording ended: %1 (%2)</source>
        <translation>Aufnahme beendet: %1 (%2)</translation>
    </message>
    <message>
        <source>Recording stopped: %1</source>
        <translation>Aufnahme gestoppt: %1</translation>
    </message>
</context>
<context>
    <name>SkStreamHealth</name>
    <message>
        <source>Stream: connecting</source>
        <translation>Datenstrom: verbinde</translation>
    </message>
    <message>
        <source>Stream: receiving</source>
        <translation>Datenstrom: empfange</translation>
    </message>
    <message>
        <source>Stream: lost</source>
        <translation>Datenstrom: verloren</translation>
    </message>
    <message>
        <source>Stream: retrying in %1 s</source>
        <translation>Datenstrom: neuer Versuch in %1 s</translation>
    </message>
    <message>
        <source>Stream: ended</source>
        <translation>Datenstrom: beendet</translation>
    </message>
    <message>
        <source>No stream</source>
        <translation>Kein Datenstrom</translation>
    </message>
    <message>
        <source>frame %1 ago</source>
        <translation>Frame vor %1</translation>
    </message>
    <message>
        <source>%1 dropped</source>
        <translation>%1 verworfen</translation>
    </message>
    <message>
        <source>REC %1 frames</source>
        <translation>REC %1 Frames</translation>
    </message>
    <message>
        <source>REC %1 frames, %2</source>
        <translation>REC %1 Frames, %2</translation>
    </message>
    <message>
        <source>No stream is open: the frames come from files</source>
        <translation>Kein Datenstrom geöffnet: die Frames kommen aus Dateien</translation>
    </message>
    <message>
        <source>Stream from %1</source>
        <translation>Datenstrom von %1</translation>
    </message>
    <message>
        <source>Ended: %1</source>
        <translation>Beendet: %1</translation>
    </message>
    <message>
        <source>Lost: %1</source>
        <translation>Verloren: %1</translation>
    </message>
    <message>
        <source>No frame has arrived yet</source>
        <translation>Noch kein Frame angekommen</translation>
    </message>
    <message>
        <source>Newest frame arrived %1 ago; frames come about every %2</source>
        <translation>Neuester Frame vor %1 angekommen; Frames kommen etwa alle %2</translation>
    </message>
    <message>
        <source>Newest frame arrived %1 ago</source>
        <translation>Neuester Frame vor %1 angekommen</translation>
    </message>
    <message>
        <source>Frames received: %1, dropped: %2</source>
        <translation>Frames empfangen: %1, verworfen: %2</translation>
    </message>
    <message>
        <source>Recording: %1 frames</source>
        <translation>Aufnahme: %1 Frames</translation>
    </message>
    <message>
        <source>Recording: %1 frames, now into %2</source>
        <translation>Aufnahme: %1 Frames, jetzt in %2</translation>
    </message>
    <message>
        <source>%1 s</source>
        <translation>%1 s</translation>
    </message>
    <message>
        <source>%1 min %2 s</source>
        <translation>%1 min %2 s</translation>
    </message>
    <message>
        <source>%1 h %2 min</source>
        <translation>%1 h %2 min</translation>
    </message>
</context>
<context>
    <name>SkTimeScaleDraw</name>
    <message>
        <source>Frame</source>
        <translation>Frame</translation>
    </message>
    <message>
        <source>Time (UTC)</source>
        <translation>Zeit (UTC)</translation>
    </message>
    <message>
        <source>Time (UTC%1)</source>
        <translation>Zeit (UTC%1)</translation>
    </message>
</context>
<context>
    <name>SkTimezoneAction</name>
    <message>
        <source>Timezone</source>
        <translation>Zeitzone</translation>
    </message>
    <message>
        <source> h</source>
        <translation> h</translation>
    </message>
    <message>
        <source>Hours added to the frame times (UTC) in the information line and on the time axes</source>
        <translation>Stunden, die in der Infozeile und auf den Zeitachsen zu den Frame-Zeiten (UTC) addiert werden</translation>
    </message>
</context>
</TS>
