-- The settings database, KVConfig.db, as shipped: the options dialog's initial selections,
-- the first-run flag not yet set, and the interface languages with Spanish active. A new user
-- starts with fit-within and don't-enlarge on: a width x height preset then never stretches a
-- portrait into a landscape, nor blows a small picture up.
--
-- Every value is read as text and compared or written with quoted literals (activo='1',
-- SET jpeg='5', WHERE id='1'), so every column has a declared type whose affinity makes such
-- literals compare equal to the stored values.

CREATE TABLE configuracion (
    filtro_redimension TEXT,  -- resampling filter, 1-6
    jpeg               TEXT,  -- JPEG quality level, 1-5
    png                TEXT,  -- PNG compression, 1-4
    bmp                TEXT,  -- BMP compression, 1-2
    tga                TEXT,  -- TARGA compression, 1-2
    tif                TEXT,  -- TIFF compression, 1-4
    primera_ejecucion  TEXT,  -- '0' until a language has been chosen at the first run
    -- Added after the first versions: the start-up adds them to an older user's copy, with these
    -- defaults (store/SettingsColumns.h), which keep what that user's runs did before; a new
    -- file's own values are in the INSERT below.
    guardar_como       TEXT DEFAULT '0',   -- save as: 0 the original's format, 1 JPEG, 2 PNG,
                                           -- 3 WebP, 4 TIFF
    webp               TEXT DEFAULT '80',  -- WebP quality, 1-100
    webp_sin_perdida   TEXT DEFAULT '0',   -- 1: WebP without loss
    decodificacion_rapida TEXT DEFAULT '0', -- 1: a JPEG shrunk to half or less is decoded at a
                                            -- reduced scale
    no_ampliar         TEXT DEFAULT '0',   -- 1: a picture within the target keeps its size
    ajustar_dentro     TEXT DEFAULT '0',   -- 1: width x height is a box the picture fits in
    incluir_subcarpetas TEXT DEFAULT '0',  -- 1: folders are listed with their subfolders
    quitar_ubicacion   TEXT DEFAULT '0',   -- 1: outputs carry no GPS position
    conservar_fechas   TEXT DEFAULT '0',   -- 1: outputs get their source's modification time
    limite_kb          TEXT DEFAULT '0'    -- JPEG and WebP size budget in KB; 0: none
);

INSERT INTO configuracion VALUES ('5', '5', '3', '2', '2', '4', '0', '0', '80', '0', '0',
                                  '1', '1', '0', '0', '0', '0');

-- The language dialog lists the rows in table order and derives a row's id from its position,
-- so id must count 0, 1, 2, ... in insertion order. ruta is resolved against the working
-- directory, which is the program's own folder when it is started normally.
CREATE TABLE idiomas (
    id     INTEGER NOT NULL,
    idioma TEXT,
    ruta   TEXT,
    activo TEXT NOT NULL DEFAULT '0'
);

INSERT INTO idiomas (id, idioma, ruta, activo) VALUES
    (0, 'Español',   'lang/Espanol.db',   '1'),
    (1, 'English',   'lang/English.db',   '0'),
    (2, 'Français',  'lang/Francais.db',  '0'),
    (3, 'Deutsch',   'lang/Deutsch.db',   '0'),
    (4, 'Italiano',  'lang/Italiano.db',  '0'),
    (5, 'Português', 'lang/Portugues.db', '0');
