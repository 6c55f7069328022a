-- Interface texts in Deutsch. One row per (form, key) that the program looks up.
-- form: 1 main window, 3 options dialog, 4 language dialog, 5 folder chooser, 6 message box,
-- 7 about box.
-- Captions are UTF-8; a single quote inside a text is written twice.

-- Main window
INSERT INTO traduccion (form, object, caption) VALUES
    ('1', 'MainMenu1', 'Datei'),
    ('1', 'MainMenu1Sub1', 'Beenden'),
    ('1', 'MainMenu1Sub2', 'Bilder hinzufügen…'),
    ('1', 'MainMenu1Sub3', 'Ordner hinzufügen…'),
    ('1', 'MainMenu2', 'Optionen'),
    ('1', 'MainMenu2Sub1', 'Qualitäts- und Skalierungsoptionen'),
    ('1', 'MainMenu2Sub2', 'Sprachen'),
    ('1', 'MainMenu3', 'Über ...'),
    ('1', 'MainMenu3Sub1', 'Änderungsprotokoll'),
    ('1', 'MainMenu3Sub2', 'Über ...'),
    ('1', 'PopupMenu1Sub1', 'Bild(er) entfernen'),
    ('1', 'GroupBox1', ' Abmessungen '),
    ('1', 'GroupBox2', ' Vorgaben '),
    ('1', 'Label1', 'Breite'),
    ('1', 'Label2', 'Höhe'),
    ('1', 'Label6', 'Längste Seite'),
    ('1', 'Label3', 'Zielordner'),
    ('1', 'Label9', 'Zu skalierende Bilder'),
    ('1', 'Label8', 'Ziehen Sie die gewünschten Bilder in dieses Fenster'),
    ('1', 'CheckBox1', 'Seitenverhältnis beibehalten'),
    ('1', 'CheckBox2', 'Größe der RAW-Dateien beibehalten'),
    ('1', 'Button2', 'Leeren'),
    ('1', 'Button4', 'Abbrechen'),
    ('1', 'Button3', 'Starten'),
    ('1', 'ListBox1Hint', 'Rechtsklick, um Bilder aus der Liste zu entfernen'),
    ('1', 'CheckBox2Hint', 'Alle hinzugefügten Dateien müssen RAW-Dateien sein'),
    ('1', 'SpeedButton2Hint', 'Wählen Sie einen Zielordner'),
    ('1', 'Button2Hint', 'Die Bilderliste leeren'),
    ('1', 'ImagenMsg1', 'Das Bild ist bereits in der Liste: '),
    ('1', 'ImagenMsg2', 'Bild zur Liste hinzugefügt'),
    ('1', 'ImagenMsg3', 'Die Datei ist kein unterstütztes Bild und wurde nicht hinzugefügt'),
    ('1', 'Texto_filtro_imagenes', 'Unterstützte Bilder'),
    ('1', 'Texto_validar_imagenes', 'Die Bilder der Liste werden geprüft...'),
    ('1', 'Texto_caracter_no_valido', 'Dieses Feld nimmt nur Ziffern an. Löschen Sie das Zeichen, das keine Ziffer ist.'),
    ('1', 'Texto_advertencia1', 'Breite oder Höhe fehlt. Geben Sie vor dem Start beide Maße in Pixeln ein.'),
    ('1', 'Texto_advertencia2', 'Breite und Höhe müssen ganze Zahlen sein. Korrigieren Sie die Maße vor dem Start.'),
    ('1', 'Texto_advertencia3', 'Es ist kein Zielordner angegeben. Wählen Sie einen Ordner oder ziehen Sie vor dem Start Bilder in das Fenster.'),
    ('1', 'Texto_advertencia4', 'Die Bilderliste ist leer. Ziehen Sie vor dem Start Bilder in das Fenster.'),
    ('1', 'Texto_advertencia5', 'Der Zielordner kann nicht angelegt werden (vielleicht gibt es ihn schon). Trotzdem starten? Dateien mit gleichem Namen werden ersetzt.'),
    ('1', 'Texto_advertencia6', 'Die längste Seite fehlt. Geben Sie vor dem Start ihr Maß in Pixeln ein.'),
    ('1', 'Texto_advertencia7', 'Die längste Seite muss eine ganze Zahl sein. Korrigieren Sie den Wert vor dem Start.'),
    ('1', 'Texto_advertencia8', 'Es ist kein Zielordner angegeben. Wählen Sie einen Ordner oder ziehen Sie vor dem Start Bilder in das Fenster.'),
    ('1', 'Caption_Atencion', 'Achtung'),
    ('1', 'Texto_redimension', 'Skalierung abgeschlossen'),
    ('1', 'Texto_redimension2', 'Alle Bilder wurden skaliert. Möchten Sie den Zielordner öffnen?'),
    ('1', 'Texto_redimension3', 'Skalierung angehalten nach einem Bild, das nicht umgewandelt werden konnte.'),
    ('1', 'Texto_redimension4', 'Skalierung abgebrochen. Bereits umgewandelte Bilder bleiben erhalten.'),
    ('1', 'Texto_redimension5', 'Wird skaliert:'),
    ('1', 'Texto_redimension6', 'Ein anderes Bild dieses Durchgangs heißt genauso. Gespeichert als'),
    ('1', 'Texto_motivo1', 'Grund: kein unterstütztes oder ein beschädigtes Bild.'),
    ('1', 'Texto_motivo2', 'Grund: zu groß für den verfügbaren Speicher.'),
    ('1', 'Texto_motivo3', 'Grund: die Umwandlung hat zu lange gedauert.'),
    ('1', 'Texto_motivo4', 'Grund: das Ziel ist nicht beschreibbar (Berechtigung).'),
    ('1', 'Texto_motivo5', 'Grund: der Datenträger ist voll.'),
    ('1', 'Texto_motivo6', 'Grund: die Datei ist verschwunden oder wurde geändert.'),
    ('1', 'Texto_motivo7', 'Grund: die Datei ist unvollständig; ihre Daten enden zu früh.'),
    ('1', 'Texto_motivo8', 'Grund: die Datei ist nicht lesbar (Berechtigung).'),
    ('1', 'Texto_motivo9', 'Grund: das Ziel ist eine Datei, kein Ordner.'),
    ('1', 'Texto_motivo10', 'Grund: der Ausgabename ist von einem Ordner oder einer Spezialdatei belegt.'),
    ('1', 'Texto_motivo11', 'Grund: die Ausgabe würde ihre Quelle ersetzen.'),
    ('1', 'Texto_motivo12', 'Grund: die Bilddaten sind beschädigt.'),
    ('1', 'Texto_motivo13', 'Grund: das Bild ist größer, als sein Ausgabeformat fassen kann.'),
    ('1', 'Texto_motivo14', 'Grund: der Pfad der Ausgabe ist länger, als das System erlaubt.'),
    ('1', 'Texto_motivo_no_existe', 'Grund: die Datei oder der Ordner existiert nicht.'),
    ('1', 'Texto_motivo_carpeta_vacia', 'Grund: der Ordner enthält kein unterstütztes Bild.'),
    ('1', 'Texto_linea_restante', 'noch etwa %1'),
    ('1', 'Texto_fallo1', '%1 konnte nicht umgewandelt werden.'),
    ('1', 'Texto_fallo2', 'Möchten Sie mit den anderen Bildern fortfahren? Anhalten beendet die Skalierung hier; bereits umgewandelte Bilder bleiben erhalten.'),
    ('1', 'Texto_resumen1', 'Skalierung abgeschlossen: %1 von %2 Bildern gespeichert.'),
    ('1', 'Texto_resumen2', 'Nicht umgewandelt (%1):'),
    ('1', 'Texto_resumen3', 'Unter einem neuen Namen gespeichert, weil ein anderes Bild dieses Stapels denselben Namen hat (%1):'),
    ('1', 'Texto_resumen4', '... und %1 weitere'),
    ('1', 'Texto_resumen5', 'Die nicht umgewandelten Bilder sind in der Liste ausgewählt.'),
    ('1', 'Texto_resumen6', 'Möchten Sie den Zielordner öffnen?'),
    ('1', 'Texto_resumen7', 'Auch bei niedrigster Qualität über der Größengrenze, trotzdem gespeichert (%1):'),
    ('1', 'Texto_lista1', 'Bilder in der Liste: %1'),
    ('1', 'ActualizacionCaption', 'Neue Version verfügbar'),
    ('1', 'ActualizacionTexto', 'Eine neue Version von Kavenra ist erschienen. Möchten Sie die Download-Seite öffnen?');

-- Main window: the longest side's hint, the manual ratio, and the messages of the dimension
-- fields and the destination folder
INSERT INTO traduccion (form, object, caption) VALUES
    ('1', 'Edit4Hint', 'Breite und Höhe des Bildes werden im Verhältnis zu diesem Wert angepasst'),
    ('1', 'RadioButton11', 'Frei'),
    ('1', 'Texto_no_puedo', 'Das geht nicht'),
    ('1', 'Texto_abrir_carpeta', 'Der Ordner konnte nicht geöffnet werden. Dazu wird ein Programm gebraucht, das Ordner öffnet, etwa xdg-open (Paket xdg-utils).');

-- Main window: what the image list left out, by name and reason; a run without a window:
-- the files of named folders left out, and the window asked for where there is no display
INSERT INTO traduccion (form, object, caption) VALUES
    ('1', 'ImagenMsg5', 'Bilder in der Liste: %1. Ausgelassen: %2'),
    ('1', 'Texto_fuera_no_existe', 'nicht gefunden: %1'),
    ('1', 'Texto_fuera_no_imagen', 'kein unterstütztes Bild: %1'),
    ('1', 'Texto_fuera_no_legible', 'nicht lesbar: %1'),
    ('1', 'Texto_fuera_carpeta', 'ohne unterstützte Bilder: %1'),
    ('1', 'Texto_resumen_omitidos', 'Ausgelassene Dateien, keine unterstützten Bilder: %1'),
    ('1', 'Texto_sin_pantalla', 'Es gibt keinen Bildschirm, auf dem sich das Fenster öffnen ließe (weder DISPLAY noch WAYLAND_DISPLAY ist gesetzt). Ohne Fenster verkleinert --resize, zum Beispiel: kavenra --resize --longest 1600 DATEI... (mehr mit kavenra --resize --help).');

-- Language dialog
INSERT INTO traduccion (form, object, caption) VALUES
    ('4', 'MsgBox_Idioma', 'Bitte wählen Sie eine Sprache aus der Liste.');

-- Options dialog
INSERT INTO traduccion (form, object, caption) VALUES
    ('3', 'Form_Caption', 'Optionen'),
    ('3', 'Label8', 'Unterstützte RAW-Formate - FreeImage-Plugin'),
    ('3', 'GroupBox2', 'Skalierungsfilter'),
    ('3', 'Button1', 'Speichern'),
    ('3', 'Label7', 'Kompressionsverhältnis'),
    ('3', 'ValueListEditor1', 'Endung,Beschreibung'),
    ('3', 'RadioButton6', 'BMP_DEFAULT      (Ohne Kompression)'),
    ('3', 'RadioButton7', 'BMP_SAVE_RLE    (RLE-Kompression)'),
    ('3', 'RadioButton9', 'PNG_Z_BEST_SPEED           (Schwache Kompression)'),
    ('3', 'RadioButton10', 'PNG_Z_DEFAULT_COMPRESSION      (Normal)'),
    ('3', 'RadioButton11', 'PNG_Z_BEST_COMPRESSION     (Beste Kompression)'),
    ('3', 'RadioButton12', 'PNG_Z_NO_COMPRESSION          (Ohne Kompression)'),
    ('3', 'RadioButton13', 'TARGA_DEFAULT     (Ohne Kompression)'),
    ('3', 'RadioButton14', 'TARGA_SAVE_RLE   (RLE-Kompression)'),
    ('3', 'RadioButton15', 'TIFF_NONE             (Ohne Kompression)'),
    ('3', 'RadioButton16', 'TIFF_LZW               (LZW-Kompression)'),
    ('3', 'RadioButton17', 'TIFF_DEFLATE        (ZLIB-Kompression)'),
    ('3', 'RadioButton18', 'TIFF_JPEG              (JPEG-Kompression)'),
    ('3', 'Label1_from_SRC1', 'Hervorragende Qualität (JPEG_QUALITYSUPERB)'),
    ('3', 'Label1_from_SRC2', 'Gute Qualität (JPEG_QUALITYGOOD)'),
    ('3', 'Label1_from_SRC3', 'Normale Qualität (JPEG_QUALITYNORMAL)'),
    ('3', 'Label1_from_SRC4', 'Mittlere Qualität (JPEG_QUALITYAVERAGE)'),
    ('3', 'Label1_from_SRC5', 'Geringe Qualität (JPEG_QUALITYBAD)'),
    ('3', 'TrackBar1Hint', 'Schieberegler verschieben, um die Qualität zu wählen'),
    ('3', 'RadioButton18Hint', 'Nur Graustufenbilder mit 8 Bit oder Bilder mit 24 Bit'),
    ('3', 'saveAsGroup', 'Speichern als'),
    ('3', 'saveAsOriginalButton', 'Format des Originals'),
    ('3', 'webpQualityLabel', 'Qualität'),
    ('3', 'webpLosslessBox', 'Verlustfrei'),
    ('3', 'fastJpegDecodingBox', 'Schnelle JPEG-Dekodierung beim Verkleinern (im Maßstab 1/2, 1/4 oder 1/8)'),
    ('3', 'saveAsGroupHint', 'Ein mehrseitiges TIFF behält in einem anderen Format nur seine erste Seite'),
    ('3', 'moreChoicesGroup', 'Weitere Optionen'),
    ('3', 'noEnlargeBox', 'Kleinere Bilder nicht vergrößern'),
    ('3', 'fitWithinBox', 'In Breite × Höhe einpassen (Seitenverhältnis behalten)'),
    ('3', 'keepDatesBox', 'Datum der Dateien beibehalten'),
    ('3', 'subfoldersBox', 'Unterordner einbeziehen'),
    ('3', 'removeLocationBox', 'Standort entfernen (GPS)'),
    ('3', 'sizeBudgetBox', 'JPEG und WebP höchstens (KB):');

-- Folder chooser
INSERT INTO traduccion (form, object, caption) VALUES
    ('5', 'Caption', 'Ordner auswählen'),
    ('5', 'Button1', 'OK'),
    ('5', 'Button2', 'Neuer Ordner'),
    ('5', 'InputBox_Carpeta', 'Neuer Ordner'),
    ('5', 'InputBox_Carpeta2', 'Name des neuen Ordners:'),
    ('5', 'MsgBox_Carpeta', 'Der Ordner wurde angelegt.'),
    ('5', 'MsgBox_Error', 'Der Ordner konnte nicht angelegt werden. Vielleicht gibt es ihn schon, der Name ist ungültig oder Sie dürfen hier nicht schreiben.'),
    ('5', 'MsgBox_Carpeta2', 'Hinweis'),
    ('5', 'InputBox_Cancelar', 'Abbrechen');

-- Message box
INSERT INTO traduccion (form, object, caption) VALUES
    ('6', 'Button1', 'OK'),
    ('6', 'Button2', 'Ja'),
    ('6', 'Button3', 'Nein');

-- About box
INSERT INTO traduccion (form, object, caption) VALUES
    ('7', 'Caption', 'Über ...'),
    ('7', 'Button1', 'Schließen'),
    ('7', 'Label2', 'Oktober 2015'),
    ('7', 'Label4', 'Verwendet die FreeImage-Bibliothek Version'),
    ('7', 'Label6', 'Mehr Informationen auf freeimage.sourceforge.io'),
    ('7', 'Label7', 'Nützlich? Spendieren Sie mir ein Bier! :-)'),
    ('7', 'Image15Hint', 'Wenn Ihnen das Programm gefällt und Sie können, spendieren Sie mir ein Bier!'),
    ('7', 'licenceLabel', 'Freie Software: GNU GPL 3.0 oder später'),
    ('7', 'creditsButton', 'Mitwirkende…'),
    ('7', 'creditsCaption', 'Mitwirkende und Lizenzen'),
    ('7', 'creditsIntroduction', 'Kavenra ist freie Software unter der GNU General Public License, Version 3 oder später. Es baut auf diesen Bibliotheken auf:');

-- The run's progress, the questions after a failed file and on closing during a run, a stopped
-- run's summary line, the options dialog's pages and Cancel, the language dialog's own texts, and
-- the terminal's line for a desktop notification that could not be shown
INSERT INTO traduccion (form, object, caption) VALUES
    ('1', 'Texto_progreso', '%1 von %2'),
    ('1', 'Texto_boton_seguir', 'Fortfahren'),
    ('1', 'Texto_boton_detener', 'Anhalten'),
    ('1', 'Texto_boton_cerrar', 'Anhalten und schließen'),
    ('1', 'Texto_cerrar_en_curso', 'Eine Skalierung läuft. Anhalten und schließen? Bereits umgewandelte Bilder bleiben erhalten.'),
    ('1', 'Texto_resumen8', 'Die Skalierung wurde vor dem Ende angehalten: %1 Bilder wurden nicht skaliert.'),
    ('1', 'Texto_notificacion_fallida', 'die Desktop-Benachrichtigung konnte nicht angezeigt werden: %1'),
    ('3', 'CancelButton', 'Abbrechen'),
    ('3', 'FormatsPage', 'Qualität und Formate'),
    ('3', 'MoreOptionsPage', 'Weitere Optionen'),
    ('4', 'Caption', 'Sprachauswahl'),
    ('4', 'Label1', 'Willkommen! Bitte wählen Sie Ihre Sprache. Diese Frage kommt nur beim ersten Start.'),
    ('4', 'Label1_menu', 'Bitte wählen Sie Ihre Sprache.'),
    ('4', 'Button1', 'OK');
