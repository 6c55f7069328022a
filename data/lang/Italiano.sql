-- Interface texts in Italiano. One row per (form, key) that the program looks up.
-- form: 1 main window, 3 options dialog, 4 language dialog, 5 folder chooser, 6 message box,
-- 7 about box.
-- Captions are UTF-8; a single quote inside a text is written twice.

-- Main window
INSERT INTO traduccion (form, object, caption) VALUES
    ('1', 'MainMenu1', 'File'),
    ('1', 'MainMenu1Sub1', 'Esci'),
    ('1', 'MainMenu1Sub2', 'Aggiungi immagini…'),
    ('1', 'MainMenu1Sub3', 'Aggiungi cartella…'),
    ('1', 'MainMenu2', 'Opzioni'),
    ('1', 'MainMenu2Sub1', 'Opzioni di qualità e ridimensionamento'),
    ('1', 'MainMenu2Sub2', 'Lingue'),
    ('1', 'MainMenu3', 'Informazioni ...'),
    ('1', 'MainMenu3Sub1', 'Registro delle modifiche'),
    ('1', 'MainMenu3Sub2', 'Informazioni ...'),
    ('1', 'PopupMenu1Sub1', 'Rimuovi immagine/i'),
    ('1', 'GroupBox1', ' Dimensioni '),
    ('1', 'GroupBox2', ' Predefinite '),
    ('1', 'Label1', 'Larghezza'),
    ('1', 'Label2', 'Altezza'),
    ('1', 'Label6', 'Lato più lungo'),
    ('1', 'Label3', 'Cartella di destinazione'),
    ('1', 'Label9', 'File da ridimensionare'),
    ('1', 'Label8', 'Trascina le immagini che vuoi in questa finestra'),
    ('1', 'CheckBox1', 'Mantieni le proporzioni'),
    ('1', 'CheckBox2', 'Mantieni le dimensioni dei file RAW'),
    ('1', 'Button2', 'Svuota'),
    ('1', 'Button4', 'Annulla'),
    ('1', 'Button3', 'Avvia'),
    ('1', 'ListBox1Hint', 'Clic destro per togliere immagini dall''elenco'),
    ('1', 'CheckBox2Hint', 'Tutti i file aggiunti devono essere RAW'),
    ('1', 'SpeedButton2Hint', 'Seleziona una cartella di destinazione'),
    ('1', 'Button2Hint', 'Svuota l''elenco delle immagini'),
    ('1', 'ImagenMsg1', 'L''immagine è già nell''elenco: '),
    ('1', 'ImagenMsg2', 'Immagine aggiunta all''elenco'),
    ('1', 'ImagenMsg3', 'Il file non è un''immagine supportata e non è stato aggiunto'),
    ('1', 'Texto_filtro_imagenes', 'Immagini supportate'),
    ('1', 'Texto_validar_imagenes', 'Verifica delle immagini dell''elenco...'),
    ('1', 'Texto_caracter_no_valido', 'Questo campo accetta solo cifre. Cancella il carattere che non è una cifra.'),
    ('1', 'Texto_advertencia1', 'Manca la larghezza o l''altezza. Inserisci entrambe le misure in pixel prima di avviare.'),
    ('1', 'Texto_advertencia2', 'Larghezza e altezza devono essere numeri interi. Correggi le misure prima di avviare.'),
    ('1', 'Texto_advertencia3', 'Manca la cartella di destinazione. Scegli una cartella o trascina delle immagini nella finestra prima di avviare.'),
    ('1', 'Texto_advertencia4', 'L''elenco delle immagini è vuoto. Trascina delle immagini nella finestra prima di avviare.'),
    ('1', 'Texto_advertencia5', 'Impossibile creare la cartella di destinazione (forse esiste già). Avviare comunque? I file con lo stesso nome verranno sostituiti.'),
    ('1', 'Texto_advertencia6', 'Manca il lato più lungo. Inserisci la sua misura in pixel prima di avviare.'),
    ('1', 'Texto_advertencia7', 'Il lato più lungo deve essere un numero intero. Correggilo prima di avviare.'),
    ('1', 'Texto_advertencia8', 'Manca la cartella di destinazione. Scegli una cartella o trascina delle immagini nella finestra prima di avviare.'),
    ('1', 'Caption_Atencion', 'Attenzione'),
    ('1', 'Texto_redimension', 'Ridimensionamento completato'),
    ('1', 'Texto_redimension2', 'Tutte le immagini sono state ridimensionate. Vuoi aprire la cartella di destinazione?'),
    ('1', 'Texto_redimension3', 'Ridimensionamento interrotto dopo un''immagine che non è stato possibile convertire.'),
    ('1', 'Texto_redimension4', 'Ridimensionamento annullato. Le immagini già convertite vengono conservate.'),
    ('1', 'Texto_redimension5', 'Ridimensionamento di'),
    ('1', 'Texto_redimension6', 'Un''altra immagine di questo lotto ha quel nome. Salvata come'),
    ('1', 'Texto_motivo1', 'Motivo: immagine non supportata o danneggiata.'),
    ('1', 'Texto_motivo2', 'Motivo: troppo grande per la memoria disponibile.'),
    ('1', 'Texto_motivo3', 'Motivo: la conversione ha richiesto troppo tempo.'),
    ('1', 'Texto_motivo4', 'Motivo: impossibile scrivere nella destinazione (permessi).'),
    ('1', 'Texto_motivo5', 'Motivo: il disco è pieno.'),
    ('1', 'Texto_motivo6', 'Motivo: il file è scomparso o è cambiato.'),
    ('1', 'Texto_motivo7', 'Motivo: il file è incompleto; i suoi dati finiscono troppo presto.'),
    ('1', 'Texto_motivo8', 'Motivo: impossibile leggere il file (permessi).'),
    ('1', 'Texto_motivo9', 'Motivo: la destinazione è un file, non una cartella.'),
    ('1', 'Texto_motivo10', 'Motivo: il nome di uscita è occupato da una cartella o da un file speciale.'),
    ('1', 'Texto_motivo11', 'Motivo: l''uscita sostituirebbe la sua origine.'),
    ('1', 'Texto_motivo12', 'Motivo: i dati dell''immagine sono danneggiati.'),
    ('1', 'Texto_motivo13', 'Motivo: l''immagine è più grande di quanto il suo formato di uscita possa contenere.'),
    ('1', 'Texto_motivo14', 'Motivo: il percorso dell''uscita è più lungo di quanto il sistema consenta.'),
    ('1', 'Texto_motivo_no_existe', 'Motivo: il file o la cartella non esiste.'),
    ('1', 'Texto_motivo_carpeta_vacia', 'Motivo: la cartella non contiene immagini supportate.'),
    ('1', 'Texto_linea_restante', 'ancora circa %1'),
    ('1', 'Texto_fallo1', 'Impossibile convertire %1.'),
    ('1', 'Texto_fallo2', 'Vuoi continuare con le altre immagini? Interrompi termina qui il ridimensionamento; le immagini già convertite vengono conservate.'),
    ('1', 'Texto_resumen1', 'Ridimensionamento terminato: %1 immagini su %2 salvate.'),
    ('1', 'Texto_resumen2', 'Non convertite (%1):'),
    ('1', 'Texto_resumen3', 'Salvate con un altro nome, perché un''altra immagine di questo gruppo ha lo stesso nome (%1):'),
    ('1', 'Texto_resumen4', '... e altre %1'),
    ('1', 'Texto_resumen5', 'Le immagini non convertite sono selezionate nell''elenco.'),
    ('1', 'Texto_resumen6', 'Vuoi aprire la cartella di destinazione?'),
    ('1', 'Texto_resumen7', 'Oltre il limite di dimensione anche alla qualità più bassa, salvate comunque (%1):'),
    ('1', 'Texto_lista1', 'Immagini nell''elenco: %1'),
    ('1', 'ActualizacionCaption', 'Nuova versione disponibile'),
    ('1', 'ActualizacionTexto', 'È stata pubblicata una nuova versione di Kavenra. Vuoi aprire la pagina di download?');

-- Main window: the longest side's hint, the manual ratio, and the messages of the dimension
-- fields and the destination folder
INSERT INTO traduccion (form, object, caption) VALUES
    ('1', 'Edit4Hint', 'Larghezza e altezza dell''immagine vengono adattate in proporzione a questo valore'),
    ('1', 'RadioButton11', 'Libero'),
    ('1', 'Texto_no_puedo', 'Non posso'),
    ('1', 'Texto_abrir_carpeta', 'Impossibile aprire la cartella. Serve un programma che apra le cartelle, come xdg-open (pacchetto xdg-utils).');

-- Main window: what the image list left out, by name and reason; a run without a window:
-- the files of named folders left out, and the window asked for where there is no display
INSERT INTO traduccion (form, object, caption) VALUES
    ('1', 'ImagenMsg5', 'Immagini nell''elenco: %1. Esclusi: %2'),
    ('1', 'Texto_fuera_no_existe', 'non trovato: %1'),
    ('1', 'Texto_fuera_no_imagen', 'non è un''immagine supportata: %1'),
    ('1', 'Texto_fuera_no_legible', 'non leggibile: %1'),
    ('1', 'Texto_fuera_carpeta', 'nessuna immagine supportata all''interno: %1'),
    ('1', 'Texto_resumen_omitidos', 'File esclusi perché non sono immagini supportate: %1'),
    ('1', 'Texto_sin_pantalla', 'Non c''è uno schermo su cui aprire la finestra (né DISPLAY né WAYLAND_DISPLAY sono impostati). Per ridimensionare senza finestra usare --resize, per esempio: kavenra --resize --longest 1600 FILE... (kavenra --resize --help spiega di più).');

-- Language dialog
INSERT INTO traduccion (form, object, caption) VALUES
    ('4', 'MsgBox_Idioma', 'Scegli una lingua dall''elenco.');

-- Options dialog
INSERT INTO traduccion (form, object, caption) VALUES
    ('3', 'Form_Caption', 'Opzioni'),
    ('3', 'Label8', 'Formati RAW supportati - plugin FreeImage'),
    ('3', 'GroupBox2', 'Filtro di ridimensionamento'),
    ('3', 'Button1', 'Salva'),
    ('3', 'Label7', 'Rapporto di compressione'),
    ('3', 'ValueListEditor1', 'Estensione,Descrizione'),
    ('3', 'RadioButton6', 'BMP_DEFAULT      (Senza compressione)'),
    ('3', 'RadioButton7', 'BMP_SAVE_RLE    (Compressione RLE)'),
    ('3', 'RadioButton9', 'PNG_Z_BEST_SPEED               (Compressione bassa)'),
    ('3', 'RadioButton10', 'PNG_Z_DEFAULT_COMPRESSION      (Normale)'),
    ('3', 'RadioButton11', 'PNG_Z_BEST_COMPRESSION     (Compressione alta)'),
    ('3', 'RadioButton12', 'PNG_Z_NO_COMPRESSION       (Senza compressione)'),
    ('3', 'RadioButton13', 'TARGA_DEFAULT     (Senza compressione)'),
    ('3', 'RadioButton14', 'TARGA_SAVE_RLE   (Compressione RLE)'),
    ('3', 'RadioButton15', 'TIFF_NONE             (Senza compressione)'),
    ('3', 'RadioButton16', 'TIFF_LZW               (Compressione LZW)'),
    ('3', 'RadioButton17', 'TIFF_DEFLATE        (Compressione ZLIB)'),
    ('3', 'RadioButton18', 'TIFF_JPEG              (Compressione JPEG)'),
    ('3', 'Label1_from_SRC1', 'Qualità eccellente (JPEG_QUALITYSUPERB)'),
    ('3', 'Label1_from_SRC2', 'Qualità buona (JPEG_QUALITYGOOD)'),
    ('3', 'Label1_from_SRC3', 'Qualità normale (JPEG_QUALITYNORMAL)'),
    ('3', 'Label1_from_SRC4', 'Qualità media (JPEG_QUALITYAVERAGE)'),
    ('3', 'Label1_from_SRC5', 'Qualità bassa (JPEG_QUALITYBAD)'),
    ('3', 'TrackBar1Hint', 'Sposta il cursore per scegliere la qualità'),
    ('3', 'RadioButton18Hint', 'Solo immagini in scala di grigi a 8 bit o a 24 bit'),
    ('3', 'saveAsGroup', 'Salva come'),
    ('3', 'saveAsOriginalButton', 'Formato dell''originale'),
    ('3', 'webpQualityLabel', 'Qualità'),
    ('3', 'webpLosslessBox', 'Senza perdita'),
    ('3', 'fastJpegDecodingBox', 'Decodifica rapida dei JPEG in riduzione (in scala 1/2, 1/4 o 1/8)'),
    ('3', 'saveAsGroupHint', 'Un TIFF di più pagine salvato in un altro formato conserva solo la prima pagina'),
    ('3', 'moreChoicesGroup', 'Altre opzioni'),
    ('3', 'noEnlargeBox', 'Non ingrandire le immagini più piccole'),
    ('3', 'fitWithinBox', 'Adatta in larghezza × altezza (mantieni le proporzioni)'),
    ('3', 'keepDatesBox', 'Mantieni le date dei file'),
    ('3', 'subfoldersBox', 'Includi le sottocartelle'),
    ('3', 'removeLocationBox', 'Rimuovi la posizione (GPS)'),
    ('3', 'sizeBudgetBox', 'JPEG e WebP al massimo (KB):');

-- Folder chooser
INSERT INTO traduccion (form, object, caption) VALUES
    ('5', 'Caption', 'Selezione cartella'),
    ('5', 'Button1', 'OK'),
    ('5', 'Button2', 'Nuova cartella'),
    ('5', 'InputBox_Carpeta', 'Nuova cartella'),
    ('5', 'InputBox_Carpeta2', 'Nome della nuova cartella:'),
    ('5', 'MsgBox_Carpeta', 'La cartella è stata creata.'),
    ('5', 'MsgBox_Error', 'Impossibile creare la cartella. Forse esiste già, il nome non è valido oppure non hai il permesso di scrivere qui.'),
    ('5', 'MsgBox_Carpeta2', 'Avviso'),
    ('5', 'InputBox_Cancelar', 'Annulla');

-- Message box
INSERT INTO traduccion (form, object, caption) VALUES
    ('6', 'Button1', 'OK'),
    ('6', 'Button2', 'Sì'),
    ('6', 'Button3', 'No');

-- About box
INSERT INTO traduccion (form, object, caption) VALUES
    ('7', 'Caption', 'Informazioni ...'),
    ('7', 'Button1', 'Chiudi'),
    ('7', 'Label2', 'Ottobre 2015'),
    ('7', 'Label4', 'Usa la libreria FreeImage versione'),
    ('7', 'Label6', 'Maggiori informazioni su freeimage.sourceforge.io'),
    ('7', 'Label7', 'Se ti è utile, offrimi una birra! :-)'),
    ('7', 'Image15Hint', 'Se il programma ti piace e puoi, offrimi una birra!'),
    ('7', 'licenceLabel', 'Software libero: GNU GPL 3.0 o successiva'),
    ('7', 'creditsButton', 'Crediti…'),
    ('7', 'creditsCaption', 'Crediti e licenze'),
    ('7', 'creditsIntroduction', 'Kavenra è software libero sotto la GNU General Public License, versione 3 o successiva. Si basa su queste librerie:');

-- The run's progress, the questions after a failed file and on closing during a run, a stopped
-- run's summary line, the options dialog's pages and Cancel, the language dialog's own texts, and
-- the terminal's line for a desktop notification that could not be shown
INSERT INTO traduccion (form, object, caption) VALUES
    ('1', 'Texto_progreso', '%1 di %2'),
    ('1', 'Texto_boton_seguir', 'Continua'),
    ('1', 'Texto_boton_detener', 'Interrompi'),
    ('1', 'Texto_boton_cerrar', 'Interrompi e chiudi'),
    ('1', 'Texto_cerrar_en_curso', 'È in corso un ridimensionamento. Interromperlo e chiudere? Le immagini già convertite vengono conservate.'),
    ('1', 'Texto_resumen8', 'Il ridimensionamento è stato interrotto prima della fine: %1 immagini non sono state ridimensionate.'),
    ('1', 'Texto_notificacion_fallida', 'non è stato possibile mostrare la notifica del desktop: %1'),
    ('3', 'CancelButton', 'Annulla'),
    ('3', 'FormatsPage', 'Qualità e formati'),
    ('3', 'MoreOptionsPage', 'Altre opzioni'),
    ('4', 'Caption', 'Selezione della lingua'),
    ('4', 'Label1', 'Benvenuto! Scegli la tua lingua. Te lo chiediamo solo questa prima volta.'),
    ('4', 'Label1_menu', 'Scegli la tua lingua.'),
    ('4', 'Button1', 'OK');
