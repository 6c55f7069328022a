-- Interface texts in Español. One row per (form, key) that the program looks up.
-- form: 1 main window, 3 options dialog, 4 language dialog, 5 folder chooser, 6 message box,
-- 7 about box.
-- Captions are UTF-8; a single quote inside a text is written twice.

-- Main window
INSERT INTO traduccion (form, object, caption) VALUES
    ('1', 'MainMenu1', 'Archivo'),
    ('1', 'MainMenu1Sub1', 'Salir'),
    ('1', 'MainMenu1Sub2', 'Añadir imágenes…'),
    ('1', 'MainMenu1Sub3', 'Añadir carpeta…'),
    ('1', 'MainMenu2', 'Opciones'),
    ('1', 'MainMenu2Sub1', 'Opciones de calidad y redimensionado'),
    ('1', 'MainMenu2Sub2', 'Lenguajes'),
    ('1', 'MainMenu3', 'Acerca de ...'),
    ('1', 'MainMenu3Sub1', 'Changelog'),
    ('1', 'MainMenu3Sub2', 'Acerca de ...'),
    ('1', 'PopupMenu1Sub1', 'Quitar imágen/es'),
    ('1', 'GroupBox1', ' Dimensiones '),
    ('1', 'GroupBox2', ' Por defecto '),
    ('1', 'Label1', 'Ancho'),
    ('1', 'Label2', 'Alto'),
    ('1', 'Label6', 'Lado más grande'),
    ('1', 'Label3', 'Carpeta de destino'),
    ('1', 'Label9', 'Imágenes a redimensionar'),
    ('1', 'Label8', 'Arrastra las imágenes que quieras hasta este formulario'),
    ('1', 'CheckBox1', 'Mantener Relación de Aspecto'),
    ('1', 'CheckBox2', 'Mantener dimensiones en ficheros RAW'),
    ('1', 'Button2', 'Limpiar'),
    ('1', 'Button4', 'Cancelar'),
    ('1', 'Button3', 'Comenzar'),
    ('1', 'ListBox1Hint', 'Botón derecho para quitar imágenes de la lista'),
    ('1', 'CheckBox2Hint', 'Todos los ficheros añadidos deben ser RAW'),
    ('1', 'SpeedButton2Hint', 'Selecciona una carpeta de destino'),
    ('1', 'Button2Hint', 'Limpiar la lista de imágenes'),
    ('1', 'ImagenMsg1', 'La imagen ya está en la lista: '),
    ('1', 'ImagenMsg2', 'Imagen añadida a la lista'),
    ('1', 'ImagenMsg3', 'El fichero no es una imagen compatible y no se ha añadido'),
    ('1', 'Texto_filtro_imagenes', 'Imágenes admitidas'),
    ('1', 'Texto_validar_imagenes', 'Comprobando las imágenes de la lista...'),
    ('1', 'Texto_caracter_no_valido', 'Este campo solo admite números. Borra el carácter que no es una cifra.'),
    ('1', 'Texto_advertencia1', 'Falta el ancho o el alto. Escribe las dos medidas en píxeles antes de comenzar.'),
    ('1', 'Texto_advertencia2', 'El ancho y el alto deben ser números enteros. Corrige las medidas antes de comenzar.'),
    ('1', 'Texto_advertencia3', 'No hay carpeta de destino. Elige una carpeta o arrastra imágenes a la ventana antes de comenzar.'),
    ('1', 'Texto_advertencia4', 'La lista de imágenes está vacía. Arrastra imágenes hasta la ventana antes de comenzar.'),
    ('1', 'Texto_advertencia5', 'No se puede crear la carpeta de destino (quizá ya existe). ¿Comenzar de todos modos? Se reemplazarán los ficheros con el mismo nombre.'),
    ('1', 'Texto_advertencia6', 'Falta el lado más grande. Escribe su medida en píxeles antes de comenzar.'),
    ('1', 'Texto_advertencia7', 'El lado más grande debe ser un número entero. Corrige la medida antes de comenzar.'),
    ('1', 'Texto_advertencia8', 'No hay carpeta de destino. Elige una carpeta o arrastra imágenes a la ventana antes de comenzar.'),
    ('1', 'Caption_Atencion', 'Atención'),
    ('1', 'Texto_redimension', 'Redimensionado terminado'),
    ('1', 'Texto_redimension2', 'Se han redimensionado todas las imágenes. ¿Quieres abrir la carpeta de destino?'),
    ('1', 'Texto_redimension3', 'Redimensionado detenido tras una imagen que no se ha podido convertir.'),
    ('1', 'Texto_redimension4', 'Redimensionado cancelado. Las imágenes ya convertidas se conservan.'),
    ('1', 'Texto_redimension5', 'Redimensionando'),
    ('1', 'Texto_redimension6', 'Otra imagen de esta tanda ya tiene ese nombre. Guardada como'),
    ('1', 'Texto_motivo1', 'Motivo: no es una imagen compatible o está dañada.'),
    ('1', 'Texto_motivo2', 'Motivo: es demasiado grande para la memoria disponible.'),
    ('1', 'Texto_motivo3', 'Motivo: la conversión tardó demasiado.'),
    ('1', 'Texto_motivo4', 'Motivo: no se puede escribir en el destino (permisos).'),
    ('1', 'Texto_motivo5', 'Motivo: el disco está lleno.'),
    ('1', 'Texto_motivo6', 'Motivo: el archivo ha desaparecido o ha cambiado.'),
    ('1', 'Texto_motivo7', 'Motivo: el archivo está incompleto; sus datos terminan antes de tiempo.'),
    ('1', 'Texto_motivo8', 'Motivo: no se puede leer el archivo (permisos).'),
    ('1', 'Texto_motivo9', 'Motivo: el destino es un archivo, no una carpeta.'),
    ('1', 'Texto_motivo10', 'Motivo: el nombre de salida lo ocupa una carpeta o un archivo especial.'),
    ('1', 'Texto_motivo11', 'Motivo: la salida reemplazaría su origen.'),
    ('1', 'Texto_motivo12', 'Motivo: los datos de la imagen están dañados.'),
    ('1', 'Texto_motivo13', 'Motivo: la imagen es más grande de lo que admite su formato de salida.'),
    ('1', 'Texto_motivo14', 'Motivo: la ruta de la salida es más larga de lo que permite el sistema.'),
    ('1', 'Texto_motivo_no_existe', 'Motivo: el archivo o la carpeta no existe.'),
    ('1', 'Texto_motivo_carpeta_vacia', 'Motivo: la carpeta no contiene ninguna imagen compatible.'),
    ('1', 'Texto_linea_restante', 'quedan unos %1'),
    ('1', 'Texto_fallo1', 'No se ha podido convertir %1.'),
    ('1', 'Texto_fallo2', '¿Quieres seguir con las demás imágenes? Detener termina aquí el redimensionado; las imágenes ya convertidas se conservan.'),
    ('1', 'Texto_resumen1', 'Redimensionado terminado: %1 de %2 imágenes guardadas.'),
    ('1', 'Texto_resumen2', 'No convertidas (%1):'),
    ('1', 'Texto_resumen3', 'Guardadas con otro nombre, porque otra imagen de esta tanda tiene el mismo nombre (%1):'),
    ('1', 'Texto_resumen4', '... y %1 más'),
    ('1', 'Texto_resumen5', 'Las imágenes que no se han convertido quedan seleccionadas en la lista.'),
    ('1', 'Texto_resumen6', '¿Quieres abrir la carpeta de destino?'),
    ('1', 'Texto_resumen7', 'Por encima del límite de tamaño incluso con la calidad más baja, guardadas de todos modos (%1):'),
    ('1', 'Texto_lista1', 'Imágenes en la lista: %1'),
    ('1', 'ActualizacionCaption', 'Nueva versión disponible'),
    ('1', 'ActualizacionTexto', 'Se ha publicado una nueva versión de Kavenra. ¿Quieres abrir la página de descargas?');

-- Main window: the longest side's hint, the manual ratio, and the messages of the dimension
-- fields and the destination folder
INSERT INTO traduccion (form, object, caption) VALUES
    ('1', 'Edit4Hint', 'El ancho y el alto de la imágen se ajustará proporcionalmente teniendo en cuenta este valor'),
    ('1', 'RadioButton11', 'Manual'),
    ('1', 'Texto_no_puedo', 'No puedo'),
    ('1', 'Texto_abrir_carpeta', 'No se ha podido abrir la carpeta. Hace falta un programa que abra carpetas, como xdg-open (paquete xdg-utils).');

-- Main window: what the image list left out, by name and reason; a run without a window:
-- the files of named folders left out, and the window asked for where there is no display
INSERT INTO traduccion (form, object, caption) VALUES
    ('1', 'ImagenMsg5', 'Imágenes en la lista: %1. Omitidos: %2'),
    ('1', 'Texto_fuera_no_existe', 'no existe: %1'),
    ('1', 'Texto_fuera_no_imagen', 'no es una imagen compatible: %1'),
    ('1', 'Texto_fuera_no_legible', 'no se puede leer: %1'),
    ('1', 'Texto_fuera_carpeta', 'sin imágenes compatibles: %1'),
    ('1', 'Texto_resumen_omitidos', 'Archivos omitidos por no ser imágenes compatibles: %1'),
    ('1', 'Texto_sin_pantalla', 'No hay pantalla en la que abrir la ventana (no están definidas ni DISPLAY ni WAYLAND_DISPLAY). Para redimensionar sin ventana, use --resize, por ejemplo: kavenra --resize --longest 1600 ARCHIVO... (kavenra --resize --help da más detalles).');

-- Language dialog
INSERT INTO traduccion (form, object, caption) VALUES
    ('4', 'MsgBox_Idioma', 'Selecciona un idioma de la lista.');

-- Options dialog
INSERT INTO traduccion (form, object, caption) VALUES
    ('3', 'Form_Caption', 'Opciones'),
    ('3', 'Label8', 'RAW Soportados - FreeImage Plugin'),
    ('3', 'GroupBox2', 'Filtro de reescalado'),
    ('3', 'Button1', 'Guardar'),
    ('3', 'Label7', 'Ratio de compresión'),
    ('3', 'ValueListEditor1', 'Extensión,Descripción'),
    ('3', 'RadioButton6', 'BMP_DEFAULT      (Sin compresión)'),
    ('3', 'RadioButton7', 'BMP_SAVE_RLE    (Con compresión RLE)'),
    ('3', 'RadioButton9', 'PNG_Z_BEST_SPEED                    (Mala compresión) '),
    ('3', 'RadioButton10', 'PNG_Z_DEFAULT_COMPRESSION      (Normal)'),
    ('3', 'RadioButton11', 'PNG_Z_BEST_COMPRESSION     (Mejor compresión)'),
    ('3', 'RadioButton12', 'PNG_Z_NO_COMPRESSION          (Sin compresión)'),
    ('3', 'RadioButton13', 'TARGA_DEFAULT     (Sin compresión)'),
    ('3', 'RadioButton14', 'TARGA_SAVE_RLE   (Con compresión RLE)'),
    ('3', 'RadioButton15', 'TIFF_NONE             (Sin compresión)'),
    ('3', 'RadioButton16', 'TIFF_LZW               (Compresión LZW)'),
    ('3', 'RadioButton17', 'TIFF_DEFLATE        (Compresión ZLIB)'),
    ('3', 'RadioButton18', 'TIFF_JPEG              (Compresión JPEG)'),
    ('3', 'Label1_from_SRC1', 'Calidad excelente (JPEG_QUALITYSUPERB)'),
    ('3', 'Label1_from_SRC2', 'Buena calidad (JPEG_QUALITYGOOD)'),
    ('3', 'Label1_from_SRC3', 'Calidad normal (JPEG_QUALITYNORMAL)'),
    ('3', 'Label1_from_SRC4', 'Calidad media (JPEG_QUALITYAVERAGE)'),
    ('3', 'Label1_from_SRC5', 'Calidad baja (JPEG_QUALITYBAD)'),
    ('3', 'TrackBar1Hint', 'Desplaza el indicador para seleccionar calidad'),
    ('3', 'RadioButton18Hint', 'Solo imágenes de 8 bits grayscale o 24 bits'),
    ('3', 'saveAsGroup', 'Guardar como'),
    ('3', 'saveAsOriginalButton', 'Formato del original'),
    ('3', 'webpQualityLabel', 'Calidad'),
    ('3', 'webpLosslessBox', 'Sin pérdida'),
    ('3', 'fastJpegDecodingBox', 'Decodificación rápida de JPEG al reducir (a escala 1/2, 1/4 o 1/8)'),
    ('3', 'saveAsGroupHint', 'Un TIFF de varias páginas guardado en otro formato conserva solo su primera página'),
    ('3', 'moreChoicesGroup', 'Más opciones'),
    ('3', 'noEnlargeBox', 'No ampliar las imágenes más pequeñas'),
    ('3', 'fitWithinBox', 'Encajar en ancho × alto (mantener proporciones)'),
    ('3', 'keepDatesBox', 'Conservar las fechas de los archivos'),
    ('3', 'subfoldersBox', 'Incluir subcarpetas'),
    ('3', 'removeLocationBox', 'Quitar la ubicación (GPS)'),
    ('3', 'sizeBudgetBox', 'JPEG y WebP como máximo (KB):');

-- Folder chooser
INSERT INTO traduccion (form, object, caption) VALUES
    ('5', 'Caption', 'Selección carpeta'),
    ('5', 'Button1', 'Aceptar'),
    ('5', 'Button2', 'Crear carpeta'),
    ('5', 'InputBox_Carpeta', 'Nueva carpeta'),
    ('5', 'InputBox_Carpeta2', 'Nombre de la nueva carpeta:'),
    ('5', 'MsgBox_Carpeta', 'La carpeta se ha creado correctamente.'),
    ('5', 'MsgBox_Error', 'No se ha podido crear la carpeta. Puede que ya exista, que el nombre no sea válido o que no tengas permiso para escribir aquí.'),
    ('5', 'MsgBox_Carpeta2', 'Aviso'),
    ('5', 'InputBox_Cancelar', 'Cancelar');

-- Message box
INSERT INTO traduccion (form, object, caption) VALUES
    ('6', 'Button1', 'Aceptar'),
    ('6', 'Button2', 'Sí'),
    ('6', 'Button3', 'No');

-- About box
INSERT INTO traduccion (form, object, caption) VALUES
    ('7', 'Caption', 'Acerca de ...'),
    ('7', 'Button1', 'Cerrar'),
    ('7', 'Label2', 'Octubre 2015'),
    ('7', 'Label4', 'Utiliza la librería FreeImage versión'),
    ('7', 'Label6', 'Más información en freeimage.sourceforge.io'),
    ('7', 'Label7', 'Si te es útil, ¡invitame a una cerveza! :-)'),
    ('7', 'Image15Hint', 'Si te gusta el programa y puedes, invitame a una cerveza!'),
    ('7', 'licenceLabel', 'Software libre: GNU GPL 3.0 o posterior'),
    ('7', 'creditsButton', 'Créditos…'),
    ('7', 'creditsCaption', 'Créditos y licencias'),
    ('7', 'creditsIntroduction', 'Kavenra es software libre bajo la Licencia Pública General de GNU, versión 3 o posterior. Está hecho con estas bibliotecas:');

-- The run's progress, the questions after a failed file and on closing during a run, a stopped
-- run's summary line, the options dialog's pages and Cancel, the language dialog's own texts, and
-- the terminal's line for a desktop notification that could not be shown
INSERT INTO traduccion (form, object, caption) VALUES
    ('1', 'Texto_progreso', '%1 de %2'),
    ('1', 'Texto_boton_seguir', 'Seguir'),
    ('1', 'Texto_boton_detener', 'Detener'),
    ('1', 'Texto_boton_cerrar', 'Detener y cerrar'),
    ('1', 'Texto_cerrar_en_curso', 'Hay un redimensionado en curso. ¿Detenerlo y cerrar? Las imágenes ya convertidas se conservan.'),
    ('1', 'Texto_resumen8', 'El redimensionado se detuvo antes del final: %1 imágenes no se han redimensionado.'),
    ('1', 'Texto_notificacion_fallida', 'no se ha podido mostrar la notificación del escritorio: %1'),
    ('3', 'CancelButton', 'Cancelar'),
    ('3', 'FormatsPage', 'Calidad y formatos'),
    ('3', 'MoreOptionsPage', 'Más opciones'),
    ('4', 'Caption', 'Selección de idioma'),
    ('4', 'Label1', '¡Bienvenido! Elige tu idioma. Solo se pregunta esta primera vez.'),
    ('4', 'Label1_menu', 'Elige tu idioma.'),
    ('4', 'Button1', 'Aceptar');
