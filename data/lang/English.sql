-- Interface texts in English. One row per (form, key) that the program looks up.
-- form: 1 main window, 3 options dialog, 4 language dialog, 5 folder chooser, 6 message box,
-- 7 about box.
-- Captions are UTF-8; a single quote inside a text is written twice.

-- Main window
INSERT INTO traduccion (form, object, caption) VALUES
    ('1', 'MainMenu1', 'File'),
    ('1', 'MainMenu1Sub1', 'Exit'),
    ('1', 'MainMenu1Sub2', 'Add images…'),
    ('1', 'MainMenu1Sub3', 'Add folder…'),
    ('1', 'MainMenu2', 'Options'),
    ('1', 'MainMenu2Sub1', 'Quality and resizing options'),
    ('1', 'MainMenu2Sub2', 'Languages'),
    ('1', 'MainMenu3', 'About ...'),
    ('1', 'MainMenu3Sub1', 'Changelog'),
    ('1', 'MainMenu3Sub2', 'About ...'),
    ('1', 'PopupMenu1Sub1', 'Remove image(s)'),
    ('1', 'GroupBox1', ' Dimensions '),
    ('1', 'GroupBox2', ' Presets '),
    ('1', 'Label1', 'Width'),
    ('1', 'Label2', 'Height'),
    ('1', 'Label6', 'Longest side'),
    ('1', 'Label3', 'Destination folder'),
    ('1', 'Label9', 'Images to resize'),
    ('1', 'Label8', 'Drag the images you want onto this window'),
    ('1', 'CheckBox1', 'Keep aspect ratio'),
    ('1', 'CheckBox2', 'Keep the size of RAW files'),
    ('1', 'Button2', 'Clear'),
    ('1', 'Button4', 'Cancel'),
    ('1', 'Button3', 'Start'),
    ('1', 'ListBox1Hint', 'Right-click to remove images from the list'),
    ('1', 'CheckBox2Hint', 'Every file added must be a RAW file'),
    ('1', 'SpeedButton2Hint', 'Select a destination folder'),
    ('1', 'Button2Hint', 'Clear the image list'),
    ('1', 'ImagenMsg1', 'The image is already in the list: '),
    ('1', 'ImagenMsg2', 'Image added to the list'),
    ('1', 'ImagenMsg3', 'The file is not a supported image and was not added'),
    ('1', 'Texto_filtro_imagenes', 'Supported images'),
    ('1', 'Texto_validar_imagenes', 'Checking the images in the list...'),
    ('1', 'Texto_caracter_no_valido', 'This field accepts digits only. Delete the character that is not a digit.'),
    ('1', 'Texto_advertencia1', 'The width or the height is missing. Enter both sizes in pixels before starting.'),
    ('1', 'Texto_advertencia2', 'The width and the height must be whole numbers. Correct the sizes before starting.'),
    ('1', 'Texto_advertencia3', 'There is no destination folder. Choose a folder or drop images on the window before starting.'),
    ('1', 'Texto_advertencia4', 'The image list is empty. Drag images onto the window before starting.'),
    ('1', 'Texto_advertencia5', 'The destination folder cannot be created (it may already exist). Start anyway? Files with the same name will be replaced.'),
    ('1', 'Texto_advertencia6', 'The longest side is missing. Enter its size in pixels before starting.'),
    ('1', 'Texto_advertencia7', 'The longest side must be a whole number. Correct it before starting.'),
    ('1', 'Texto_advertencia8', 'There is no destination folder. Choose a folder or drop images on the window before starting.'),
    ('1', 'Caption_Atencion', 'Warning'),
    ('1', 'Texto_redimension', 'Resizing finished'),
    ('1', 'Texto_redimension2', 'All the images have been resized. Do you want to open the destination folder?'),
    ('1', 'Texto_redimension3', 'Resizing stopped after an image that could not be converted.'),
    ('1', 'Texto_redimension4', 'Resizing cancelled. The images already converted are kept.'),
    ('1', 'Texto_redimension5', 'Resizing'),
    ('1', 'Texto_redimension6', 'Another image in this batch has that name. Saved as'),
    ('1', 'Texto_motivo1', 'Reason: not a supported picture, or a damaged one.'),
    ('1', 'Texto_motivo2', 'Reason: too large for the memory available.'),
    ('1', 'Texto_motivo3', 'Reason: the conversion took too long.'),
    ('1', 'Texto_motivo4', 'Reason: the destination cannot be written (permission).'),
    ('1', 'Texto_motivo5', 'Reason: the disk is full.'),
    ('1', 'Texto_motivo6', 'Reason: the file vanished or changed.'),
    ('1', 'Texto_motivo7', 'Reason: the file is incomplete; its data ends early.'),
    ('1', 'Texto_motivo8', 'Reason: the file cannot be read (permission).'),
    ('1', 'Texto_motivo9', 'Reason: the destination is a file, not a folder.'),
    ('1', 'Texto_motivo10', 'Reason: the output name is taken by a folder or a special file.'),
    ('1', 'Texto_motivo11', 'Reason: the output would replace its source.'),
    ('1', 'Texto_motivo12', 'Reason: the picture''s data is damaged.'),
    ('1', 'Texto_motivo13', 'Reason: the picture is larger than its output format can hold.'),
    ('1', 'Texto_motivo14', 'Reason: the output''s path is longer than the system allows.'),
    ('1', 'Texto_motivo_no_existe', 'Reason: the file or folder does not exist.'),
    ('1', 'Texto_motivo_carpeta_vacia', 'Reason: the folder holds no supported image.'),
    ('1', 'Texto_linea_restante', 'about %1 left'),
    ('1', 'Texto_fallo1', 'Could not convert %1.'),
    ('1', 'Texto_fallo2', 'Do you want to go on with the other images? Stop ends the resizing here; the images already converted are kept.'),
    ('1', 'Texto_resumen1', 'Resizing finished: %1 of %2 images written.'),
    ('1', 'Texto_resumen2', 'Not converted (%1):'),
    ('1', 'Texto_resumen3', 'Saved under a new name, because another image in this batch has the same name (%1):'),
    ('1', 'Texto_resumen4', '... and %1 more'),
    ('1', 'Texto_resumen5', 'The images that were not converted are selected in the list.'),
    ('1', 'Texto_resumen6', 'Do you want to open the destination folder?'),
    ('1', 'Texto_resumen7', 'Over the size budget even at the lowest quality, written all the same (%1):'),
    ('1', 'Texto_lista1', 'Images in the list: %1'),
    ('1', 'ActualizacionCaption', 'New version available'),
    ('1', 'ActualizacionTexto', 'A new version of Kavenra has been published. Do you want to open the download page?');

-- Main window: the longest side's hint, the manual ratio, and the messages of the dimension
-- fields and the destination folder
INSERT INTO traduccion (form, object, caption) VALUES
    ('1', 'Edit4Hint', 'Width and height of the image are scaled in proportion to this value'),
    ('1', 'RadioButton11', 'Manual'),
    ('1', 'Texto_no_puedo', 'I can''t do that'),
    ('1', 'Texto_abrir_carpeta', 'The folder could not be opened. A program that opens folders is needed, such as xdg-open (package xdg-utils).');

-- Main window: what the image list left out, by name and reason; a run without a window:
-- the files of named folders left out, and the window asked for where there is no display
INSERT INTO traduccion (form, object, caption) VALUES
    ('1', 'ImagenMsg5', 'Images in the list: %1. Left out: %2'),
    ('1', 'Texto_fuera_no_existe', 'not found: %1'),
    ('1', 'Texto_fuera_no_imagen', 'not a supported image: %1'),
    ('1', 'Texto_fuera_no_legible', 'cannot be read: %1'),
    ('1', 'Texto_fuera_carpeta', 'no supported image inside: %1'),
    ('1', 'Texto_resumen_omitidos', 'Files left out as not supported pictures: %1'),
    ('1', 'Texto_sin_pantalla', 'There is no display to open the window on (neither DISPLAY nor WAYLAND_DISPLAY is set). To resize without a window, use --resize, for example: kavenra --resize --longest 1600 FILE... (kavenra --resize --help tells more).');

-- Language dialog
INSERT INTO traduccion (form, object, caption) VALUES
    ('4', 'MsgBox_Idioma', 'Please, select a language from the list.');

-- Options dialog
INSERT INTO traduccion (form, object, caption) VALUES
    ('3', 'Form_Caption', 'Options'),
    ('3', 'Label8', 'Supported RAW formats - FreeImage plugin'),
    ('3', 'GroupBox2', 'Resampling filter'),
    ('3', 'Button1', 'Save'),
    ('3', 'Label7', 'Compression ratio'),
    ('3', 'ValueListEditor1', 'Extension,Description'),
    ('3', 'RadioButton6', 'BMP_DEFAULT      (No compression)'),
    ('3', 'RadioButton7', 'BMP_SAVE_RLE    (RLE compression)'),
    ('3', 'RadioButton9', 'PNG_Z_BEST_SPEED                    (Low compression)'),
    ('3', 'RadioButton10', 'PNG_Z_DEFAULT_COMPRESSION      (Normal)'),
    ('3', 'RadioButton11', 'PNG_Z_BEST_COMPRESSION     (Best compression)'),
    ('3', 'RadioButton12', 'PNG_Z_NO_COMPRESSION          (No compression)'),
    ('3', 'RadioButton13', 'TARGA_DEFAULT     (No compression)'),
    ('3', 'RadioButton14', 'TARGA_SAVE_RLE   (RLE compression)'),
    ('3', 'RadioButton15', 'TIFF_NONE             (No compression)'),
    ('3', 'RadioButton16', 'TIFF_LZW               (LZW compression)'),
    ('3', 'RadioButton17', 'TIFF_DEFLATE        (ZLIB compression)'),
    ('3', 'RadioButton18', 'TIFF_JPEG              (JPEG compression)'),
    ('3', 'Label1_from_SRC1', 'Superb quality (JPEG_QUALITYSUPERB)'),
    ('3', 'Label1_from_SRC2', 'Good quality (JPEG_QUALITYGOOD)'),
    ('3', 'Label1_from_SRC3', 'Normal quality (JPEG_QUALITYNORMAL)'),
    ('3', 'Label1_from_SRC4', 'Average quality (JPEG_QUALITYAVERAGE)'),
    ('3', 'Label1_from_SRC5', 'Low quality (JPEG_QUALITYBAD)'),
    ('3', 'TrackBar1Hint', 'Move the slider to choose the quality'),
    ('3', 'RadioButton18Hint', 'Only 8-bit greyscale or 24-bit images'),
    ('3', 'saveAsGroup', 'Save as'),
    ('3', 'saveAsOriginalButton', 'Original''s format'),
    ('3', 'webpQualityLabel', 'Quality'),
    ('3', 'webpLosslessBox', 'Lossless'),
    ('3', 'fastJpegDecodingBox', 'Fast JPEG decoding when shrinking (at 1/2, 1/4 or 1/8 scale)'),
    ('3', 'saveAsGroupHint', 'A multi-page TIFF saved in another format keeps only its first page'),
    ('3', 'moreChoicesGroup', 'More options'),
    ('3', 'noEnlargeBox', 'Don''t enlarge smaller pictures'),
    ('3', 'fitWithinBox', 'Fit within width × height (keep proportions)'),
    ('3', 'keepDatesBox', 'Keep the files'' dates'),
    ('3', 'subfoldersBox', 'Include subfolders'),
    ('3', 'removeLocationBox', 'Remove the location (GPS)'),
    ('3', 'sizeBudgetBox', 'JPEG and WebP at most (KB):');

-- Folder chooser
INSERT INTO traduccion (form, object, caption) VALUES
    ('5', 'Caption', 'Select folder'),
    ('5', 'Button1', 'OK'),
    ('5', 'Button2', 'New folder'),
    ('5', 'InputBox_Carpeta', 'New folder'),
    ('5', 'InputBox_Carpeta2', 'Name of the new folder:'),
    ('5', 'MsgBox_Carpeta', 'The folder has been created.'),
    ('5', 'MsgBox_Error', 'The folder could not be created. It may already exist, its name may not be valid, or you may not be allowed to write here.'),
    ('5', 'MsgBox_Carpeta2', 'Notice'),
    ('5', 'InputBox_Cancelar', 'Cancel');

-- Message box
INSERT INTO traduccion (form, object, caption) VALUES
    ('6', 'Button1', 'OK'),
    ('6', 'Button2', 'Yes'),
    ('6', 'Button3', 'No');

-- About box
INSERT INTO traduccion (form, object, caption) VALUES
    ('7', 'Caption', 'About ...'),
    ('7', 'Button1', 'Close'),
    ('7', 'Label2', 'October 2015'),
    ('7', 'Label4', 'Uses the FreeImage library version'),
    ('7', 'Label6', 'More information at freeimage.sourceforge.io'),
    ('7', 'Label7', 'If you find it useful, buy me a beer! :-)'),
    ('7', 'Image15Hint', 'If you like the program and can afford it, buy me a beer!'),
    ('7', 'licenceLabel', 'Free software: GNU GPL 3.0 or later'),
    ('7', 'creditsButton', 'Credits…'),
    ('7', 'creditsCaption', 'Credits and licences'),
    ('7', 'creditsIntroduction', 'Kavenra is free software under the GNU General Public License, version 3 or later. It is built on these libraries:');

-- The run's progress, the questions after a failed file and on closing during a run, a stopped
-- run's summary line, the options dialog's pages and Cancel, the language dialog's own texts, and
-- the terminal's line for a desktop notification that could not be shown
INSERT INTO traduccion (form, object, caption) VALUES
    ('1', 'Texto_progreso', '%1 of %2'),
    ('1', 'Texto_boton_seguir', 'Go on'),
    ('1', 'Texto_boton_detener', 'Stop'),
    ('1', 'Texto_boton_cerrar', 'Stop and close'),
    ('1', 'Texto_cerrar_en_curso', 'A resizing is running. Stop it and close? The images already converted are kept.'),
    ('1', 'Texto_resumen8', 'The resizing was stopped before the end: %1 images were not resized.'),
    ('1', 'Texto_notificacion_fallida', 'the desktop notification could not be shown: %1'),
    ('3', 'CancelButton', 'Cancel'),
    ('3', 'FormatsPage', 'Quality and formats'),
    ('3', 'MoreOptionsPage', 'More options'),
    ('4', 'Caption', 'Language selection'),
    ('4', 'Label1', 'Welcome! Please choose your language. You are asked only this first time.'),
    ('4', 'Label1_menu', 'Please choose your language.'),
    ('4', 'Button1', 'OK');
