-- Interface texts in Français. One row per (form, key) that the program looks up.
-- form: 1 main window, 3 options dialog, 4 language dialog, 5 folder chooser, 6 message box,
-- 7 about box.
-- Captions are UTF-8; a single quote inside a text is written twice.

-- Main window
INSERT INTO traduccion (form, object, caption) VALUES
    ('1', 'MainMenu1', 'Fichier'),
    ('1', 'MainMenu1Sub1', 'Quitter'),
    ('1', 'MainMenu1Sub2', 'Ajouter des images…'),
    ('1', 'MainMenu1Sub3', 'Ajouter un dossier…'),
    ('1', 'MainMenu2', 'Options'),
    ('1', 'MainMenu2Sub1', 'Options de qualité et de redimensionnement'),
    ('1', 'MainMenu2Sub2', 'Langues'),
    ('1', 'MainMenu3', 'À propos ...'),
    ('1', 'MainMenu3Sub1', 'Historique des versions'),
    ('1', 'MainMenu3Sub2', 'À propos ...'),
    ('1', 'PopupMenu1Sub1', 'Retirer la ou les images'),
    ('1', 'GroupBox1', ' Dimensions '),
    ('1', 'GroupBox2', ' Formats prédéfinis '),
    ('1', 'Label1', 'Largeur'),
    ('1', 'Label2', 'Hauteur'),
    ('1', 'Label6', 'Plus grand côté'),
    ('1', 'Label3', 'Dossier de destination'),
    ('1', 'Label9', 'Images à redimensionner'),
    ('1', 'Label8', 'Faites glisser les images voulues sur cette fenêtre'),
    ('1', 'CheckBox1', 'Conserver les proportions'),
    ('1', 'CheckBox2', 'Conserver la taille des fichiers RAW'),
    ('1', 'Button2', 'Vider'),
    ('1', 'Button4', 'Annuler'),
    ('1', 'Button3', 'Démarrer'),
    ('1', 'ListBox1Hint', 'Clic droit pour retirer des images de la liste'),
    ('1', 'CheckBox2Hint', 'Tous les fichiers ajoutés doivent être des fichiers RAW'),
    ('1', 'SpeedButton2Hint', 'Choisissez un dossier de destination'),
    ('1', 'Button2Hint', 'Vider la liste des images'),
    ('1', 'ImagenMsg1', 'L''image est déjà dans la liste : '),
    ('1', 'ImagenMsg2', 'Image ajoutée à la liste'),
    ('1', 'ImagenMsg3', 'Le fichier n''est pas une image prise en charge ; il n''a pas été ajouté'),
    ('1', 'Texto_filtro_imagenes', 'Images prises en charge'),
    ('1', 'Texto_validar_imagenes', 'Vérification des images de la liste...'),
    ('1', 'Texto_caracter_no_valido', 'Ce champ n''accepte que des chiffres. Supprimez le caractère qui n''est pas un chiffre.'),
    ('1', 'Texto_advertencia1', 'La largeur ou la hauteur manque. Saisissez les deux dimensions en pixels avant de démarrer.'),
    ('1', 'Texto_advertencia2', 'La largeur et la hauteur doivent être des nombres entiers. Corrigez-les avant de démarrer.'),
    ('1', 'Texto_advertencia3', 'Aucun dossier de destination. Choisissez un dossier ou déposez des images sur la fenêtre avant de démarrer.'),
    ('1', 'Texto_advertencia4', 'La liste des images est vide. Faites glisser des images sur la fenêtre avant de démarrer.'),
    ('1', 'Texto_advertencia5', 'Impossible de créer le dossier de destination (il existe peut-être déjà). Démarrer quand même ? Les fichiers de même nom seront remplacés.'),
    ('1', 'Texto_advertencia6', 'Le plus grand côté manque. Saisissez sa dimension en pixels avant de démarrer.'),
    ('1', 'Texto_advertencia7', 'Le plus grand côté doit être un nombre entier. Corrigez-le avant de démarrer.'),
    ('1', 'Texto_advertencia8', 'Aucun dossier de destination. Choisissez un dossier ou déposez des images sur la fenêtre avant de démarrer.'),
    ('1', 'Caption_Atencion', 'Attention'),
    ('1', 'Texto_redimension', 'Redimensionnement terminé'),
    ('1', 'Texto_redimension2', 'Toutes les images ont été redimensionnées. Voulez-vous ouvrir le dossier de destination ?'),
    ('1', 'Texto_redimension3', 'Redimensionnement arrêté après une image qui n''a pas pu être convertie.'),
    ('1', 'Texto_redimension4', 'Redimensionnement annulé. Les images déjà converties sont conservées.'),
    ('1', 'Texto_redimension5', 'Redimensionnement de'),
    ('1', 'Texto_redimension6', 'Une autre image de ce lot porte ce nom. Enregistrée sous'),
    ('1', 'Texto_motivo1', 'Raison : image non prise en charge ou endommagée.'),
    ('1', 'Texto_motivo2', 'Raison : trop grande pour la mémoire disponible.'),
    ('1', 'Texto_motivo3', 'Raison : la conversion a pris trop de temps.'),
    ('1', 'Texto_motivo4', 'Raison : impossible d''écrire dans la destination (droits).'),
    ('1', 'Texto_motivo5', 'Raison : le disque est plein.'),
    ('1', 'Texto_motivo6', 'Raison : le fichier a disparu ou a changé.'),
    ('1', 'Texto_motivo7', 'Raison : le fichier est incomplet ; ses données s''arrêtent trop tôt.'),
    ('1', 'Texto_motivo8', 'Raison : impossible de lire le fichier (droits).'),
    ('1', 'Texto_motivo9', 'Raison : la destination est un fichier, pas un dossier.'),
    ('1', 'Texto_motivo10', 'Raison : le nom de sortie est pris par un dossier ou un fichier spécial.'),
    ('1', 'Texto_motivo11', 'Raison : la sortie remplacerait sa source.'),
    ('1', 'Texto_motivo12', 'Raison : les données de l''image sont endommagées.'),
    ('1', 'Texto_motivo13', 'Raison : l''image est plus grande que ce que son format de sortie peut contenir.'),
    ('1', 'Texto_motivo14', 'Raison : le chemin de la sortie est plus long que ce que le système permet.'),
    ('1', 'Texto_motivo_no_existe', 'Raison : le fichier ou le dossier n''existe pas.'),
    ('1', 'Texto_motivo_carpeta_vacia', 'Raison : le dossier ne contient aucune image prise en charge.'),
    ('1', 'Texto_linea_restante', 'encore environ %1'),
    ('1', 'Texto_fallo1', 'Impossible de convertir %1.'),
    ('1', 'Texto_fallo2', 'Voulez-vous continuer avec les autres images ? Arrêter termine ici le redimensionnement ; les images déjà converties sont conservées.'),
    ('1', 'Texto_resumen1', 'Redimensionnement terminé : %1 images sur %2 enregistrées.'),
    ('1', 'Texto_resumen2', 'Non converties (%1) :'),
    ('1', 'Texto_resumen3', 'Enregistrées sous un autre nom, car une autre image de ce lot porte le même nom (%1) :'),
    ('1', 'Texto_resumen4', '... et %1 de plus'),
    ('1', 'Texto_resumen5', 'Les images non converties sont sélectionnées dans la liste.'),
    ('1', 'Texto_resumen6', 'Voulez-vous ouvrir le dossier de destination ?'),
    ('1', 'Texto_resumen7', 'Au-dessus de la taille maximale même à la qualité la plus basse, enregistrées quand même (%1) :'),
    ('1', 'Texto_lista1', 'Images dans la liste : %1'),
    ('1', 'ActualizacionCaption', 'Nouvelle version disponible'),
    ('1', 'ActualizacionTexto', 'Une nouvelle version de Kavenra est disponible. Voulez-vous ouvrir la page de téléchargement ?');

-- Main window: the longest side's hint, the manual ratio, and the messages of the dimension
-- fields and the destination folder
INSERT INTO traduccion (form, object, caption) VALUES
    ('1', 'Edit4Hint', 'La largeur et la hauteur de l''image sont ajustées proportionnellement à cette valeur'),
    ('1', 'RadioButton11', 'Manuel'),
    ('1', 'Texto_no_puedo', 'Je ne peux pas'),
    ('1', 'Texto_abrir_carpeta', 'Le dossier n''a pas pu être ouvert. Il faut un programme qui ouvre les dossiers, comme xdg-open (paquet xdg-utils).');

-- Main window: what the image list left out, by name and reason; a run without a window:
-- the files of named folders left out, and the window asked for where there is no display
INSERT INTO traduccion (form, object, caption) VALUES
    ('1', 'ImagenMsg5', 'Images dans la liste : %1. Ignorés : %2'),
    ('1', 'Texto_fuera_no_existe', 'introuvable : %1'),
    ('1', 'Texto_fuera_no_imagen', 'pas une image prise en charge : %1'),
    ('1', 'Texto_fuera_no_legible', 'illisible : %1'),
    ('1', 'Texto_fuera_carpeta', 'aucune image prise en charge dedans : %1'),
    ('1', 'Texto_resumen_omitidos', 'Fichiers ignorés car ce ne sont pas des images prises en charge : %1'),
    ('1', 'Texto_sin_pantalla', 'Aucun écran où ouvrir la fenêtre (ni DISPLAY ni WAYLAND_DISPLAY n''est défini). Pour redimensionner sans fenêtre, utilisez --resize, par exemple : kavenra --resize --longest 1600 FICHIER... (kavenra --resize --help en dit plus).');

-- Language dialog
INSERT INTO traduccion (form, object, caption) VALUES
    ('4', 'MsgBox_Idioma', 'Veuillez choisir une langue dans la liste.');

-- Options dialog
INSERT INTO traduccion (form, object, caption) VALUES
    ('3', 'Form_Caption', 'Options'),
    ('3', 'Label8', 'Formats RAW pris en charge - plugin FreeImage'),
    ('3', 'GroupBox2', 'Filtre de redimensionnement'),
    ('3', 'Button1', 'Enregistrer'),
    ('3', 'Label7', 'Taux de compression'),
    ('3', 'ValueListEditor1', 'Extension,Description'),
    ('3', 'RadioButton6', 'BMP_DEFAULT      (Sans compression)'),
    ('3', 'RadioButton7', 'BMP_SAVE_RLE    (Compression RLE)'),
    ('3', 'RadioButton9', 'PNG_Z_BEST_SPEED                    (Compression faible)'),
    ('3', 'RadioButton10', 'PNG_Z_DEFAULT_COMPRESSION      (Normale)'),
    ('3', 'RadioButton11', 'PNG_Z_BEST_COMPRESSION     (Compression forte)'),
    ('3', 'RadioButton12', 'PNG_Z_NO_COMPRESSION          (Sans compression)'),
    ('3', 'RadioButton13', 'TARGA_DEFAULT     (Sans compression)'),
    ('3', 'RadioButton14', 'TARGA_SAVE_RLE   (Compression RLE)'),
    ('3', 'RadioButton15', 'TIFF_NONE             (Sans compression)'),
    ('3', 'RadioButton16', 'TIFF_LZW               (Compression LZW)'),
    ('3', 'RadioButton17', 'TIFF_DEFLATE        (Compression ZLIB)'),
    ('3', 'RadioButton18', 'TIFF_JPEG              (Compression JPEG)'),
    ('3', 'Label1_from_SRC1', 'Qualité excellente (JPEG_QUALITYSUPERB)'),
    ('3', 'Label1_from_SRC2', 'Bonne qualité (JPEG_QUALITYGOOD)'),
    ('3', 'Label1_from_SRC3', 'Qualité normale (JPEG_QUALITYNORMAL)'),
    ('3', 'Label1_from_SRC4', 'Qualité moyenne (JPEG_QUALITYAVERAGE)'),
    ('3', 'Label1_from_SRC5', 'Qualité faible (JPEG_QUALITYBAD)'),
    ('3', 'TrackBar1Hint', 'Déplacez le curseur pour choisir la qualité'),
    ('3', 'RadioButton18Hint', 'Uniquement les images en niveaux de gris 8 bits ou en 24 bits'),
    ('3', 'saveAsGroup', 'Enregistrer sous'),
    ('3', 'saveAsOriginalButton', 'Format de l''original'),
    ('3', 'webpQualityLabel', 'Qualité'),
    ('3', 'webpLosslessBox', 'Sans perte'),
    ('3', 'fastJpegDecodingBox', 'Décodage rapide des JPEG lors d''une réduction (à l''échelle 1/2, 1/4 ou 1/8)'),
    ('3', 'saveAsGroupHint', 'Un TIFF de plusieurs pages enregistré dans un autre format ne garde que sa première page'),
    ('3', 'moreChoicesGroup', 'Autres options'),
    ('3', 'noEnlargeBox', 'Ne pas agrandir les images plus petites'),
    ('3', 'fitWithinBox', 'Ajuster dans largeur × hauteur (garder les proportions)'),
    ('3', 'keepDatesBox', 'Conserver les dates des fichiers'),
    ('3', 'subfoldersBox', 'Inclure les sous-dossiers'),
    ('3', 'removeLocationBox', 'Supprimer la localisation (GPS)'),
    ('3', 'sizeBudgetBox', 'JPEG et WebP au plus (Ko) :');

-- Folder chooser
INSERT INTO traduccion (form, object, caption) VALUES
    ('5', 'Caption', 'Choix du dossier'),
    ('5', 'Button1', 'OK'),
    ('5', 'Button2', 'Nouveau dossier'),
    ('5', 'InputBox_Carpeta', 'Nouveau dossier'),
    ('5', 'InputBox_Carpeta2', 'Nom du nouveau dossier :'),
    ('5', 'MsgBox_Carpeta', 'Le dossier a été créé.'),
    ('5', 'MsgBox_Error', 'Le dossier n''a pas pu être créé. Il existe peut-être déjà, son nom n''est pas valide ou vous n''avez pas le droit d''écrire ici.'),
    ('5', 'MsgBox_Carpeta2', 'Avis'),
    ('5', 'InputBox_Cancelar', 'Annuler');

-- Message box
INSERT INTO traduccion (form, object, caption) VALUES
    ('6', 'Button1', 'OK'),
    ('6', 'Button2', 'Oui'),
    ('6', 'Button3', 'Non');

-- About box
INSERT INTO traduccion (form, object, caption) VALUES
    ('7', 'Caption', 'À propos ...'),
    ('7', 'Button1', 'Fermer'),
    ('7', 'Label2', 'Octobre 2015'),
    ('7', 'Label4', 'Utilise la bibliothèque FreeImage version'),
    ('7', 'Label6', 'Plus d''informations sur freeimage.sourceforge.io'),
    ('7', 'Label7', 'S''il vous est utile, offrez-moi une bière ! :-)'),
    ('7', 'Image15Hint', 'Si le programme vous plaît et que vous le pouvez, offrez-moi une bière !'),
    ('7', 'licenceLabel', 'Logiciel libre : GNU GPL 3.0 ou ultérieure'),
    ('7', 'creditsButton', 'Crédits…'),
    ('7', 'creditsCaption', 'Crédits et licences'),
    ('7', 'creditsIntroduction', 'Kavenra est un logiciel libre sous la licence publique générale GNU, version 3 ou ultérieure. Il repose sur ces bibliothèques :');

-- The run's progress, the questions after a failed file and on closing during a run, a stopped
-- run's summary line, the options dialog's pages and Cancel, the language dialog's own texts, and
-- the terminal's line for a desktop notification that could not be shown
INSERT INTO traduccion (form, object, caption) VALUES
    ('1', 'Texto_progreso', '%1 sur %2'),
    ('1', 'Texto_boton_seguir', 'Continuer'),
    ('1', 'Texto_boton_detener', 'Arrêter'),
    ('1', 'Texto_boton_cerrar', 'Arrêter et fermer'),
    ('1', 'Texto_cerrar_en_curso', 'Un redimensionnement est en cours. L''arrêter et fermer ? Les images déjà converties sont conservées.'),
    ('1', 'Texto_resumen8', 'Le redimensionnement a été arrêté avant la fin : %1 images n''ont pas été redimensionnées.'),
    ('1', 'Texto_notificacion_fallida', 'la notification du bureau n''a pas pu être affichée : %1'),
    ('3', 'CancelButton', 'Annuler'),
    ('3', 'FormatsPage', 'Qualité et formats'),
    ('3', 'MoreOptionsPage', 'Autres options'),
    ('4', 'Caption', 'Choix de la langue'),
    ('4', 'Label1', 'Bienvenue ! Choisissez votre langue. Cette question n''est posée qu''à la première utilisation.'),
    ('4', 'Label1_menu', 'Choisissez votre langue.'),
    ('4', 'Button1', 'OK');
