-- Interface texts in Português. One row per (form, key) that the program looks up.
-- form: 1 main window, 3 options dialog, 4 language dialog, 5 folder chooser, 6 message box,
-- 7 about box.
-- Captions are UTF-8; a single quote inside a text is written twice.

-- Main window
INSERT INTO traduccion (form, object, caption) VALUES
    ('1', 'MainMenu1', 'Ficheiro'),
    ('1', 'MainMenu1Sub1', 'Sair'),
    ('1', 'MainMenu1Sub2', 'Adicionar imagens…'),
    ('1', 'MainMenu1Sub3', 'Adicionar pasta…'),
    ('1', 'MainMenu2', 'Opções'),
    ('1', 'MainMenu2Sub1', 'Opções de qualidade e redimensionamento'),
    ('1', 'MainMenu2Sub2', 'Idiomas'),
    ('1', 'MainMenu3', 'Sobre ...'),
    ('1', 'MainMenu3Sub1', 'Histórico de alterações'),
    ('1', 'MainMenu3Sub2', 'Sobre ...'),
    ('1', 'PopupMenu1Sub1', 'Remover imagem(ns)'),
    ('1', 'GroupBox1', ' Dimensões '),
    ('1', 'GroupBox2', ' Predefinições '),
    ('1', 'Label1', 'Largura'),
    ('1', 'Label2', 'Altura'),
    ('1', 'Label6', 'Lado maior'),
    ('1', 'Label3', 'Pasta de destino'),
    ('1', 'Label9', 'Imagens a redimensionar'),
    ('1', 'Label8', 'Arraste as imagens que quiser para esta janela'),
    ('1', 'CheckBox1', 'Manter a proporção'),
    ('1', 'CheckBox2', 'Manter o tamanho dos ficheiros RAW'),
    ('1', 'Button2', 'Limpar'),
    ('1', 'Button4', 'Cancelar'),
    ('1', 'Button3', 'Iniciar'),
    ('1', 'ListBox1Hint', 'Clique com o botão direito para remover imagens da lista'),
    ('1', 'CheckBox2Hint', 'Todos os ficheiros adicionados devem ser RAW'),
    ('1', 'SpeedButton2Hint', 'Selecione uma pasta de destino'),
    ('1', 'Button2Hint', 'Limpar a lista de imagens'),
    ('1', 'ImagenMsg1', 'A imagem já está na lista: '),
    ('1', 'ImagenMsg2', 'Imagem adicionada à lista'),
    ('1', 'ImagenMsg3', 'O ficheiro não é uma imagem suportada e não foi adicionado'),
    ('1', 'Texto_filtro_imagenes', 'Imagens suportadas'),
    ('1', 'Texto_validar_imagenes', 'A verificar as imagens da lista...'),
    ('1', 'Texto_caracter_no_valido', 'Este campo aceita apenas dígitos. Apague o caractere que não é um dígito.'),
    ('1', 'Texto_advertencia1', 'Falta a largura ou a altura. Escreva as duas medidas em pixels antes de iniciar.'),
    ('1', 'Texto_advertencia2', 'A largura e a altura devem ser números inteiros. Corrija as medidas antes de iniciar.'),
    ('1', 'Texto_advertencia3', 'Não há pasta de destino. Escolha uma pasta ou arraste imagens para a janela antes de iniciar.'),
    ('1', 'Texto_advertencia4', 'A lista de imagens está vazia. Arraste imagens para a janela antes de iniciar.'),
    ('1', 'Texto_advertencia5', 'Não é possível criar a pasta de destino (talvez ela já exista). Iniciar mesmo assim? Os ficheiros com o mesmo nome serão substituídos.'),
    ('1', 'Texto_advertencia6', 'Falta o lado maior. Escreva a sua medida em pixels antes de iniciar.'),
    ('1', 'Texto_advertencia7', 'O lado maior deve ser um número inteiro. Corrija a medida antes de iniciar.'),
    ('1', 'Texto_advertencia8', 'Não há pasta de destino. Escolha uma pasta ou arraste imagens para a janela antes de iniciar.'),
    ('1', 'Caption_Atencion', 'Atenção'),
    ('1', 'Texto_redimension', 'Redimensionamento concluído'),
    ('1', 'Texto_redimension2', 'Todas as imagens foram redimensionadas. Deseja abrir a pasta de destino?'),
    ('1', 'Texto_redimension3', 'Redimensionamento parado após uma imagem que não foi possível converter.'),
    ('1', 'Texto_redimension4', 'Redimensionamento cancelado. As imagens já convertidas foram mantidas.'),
    ('1', 'Texto_redimension5', 'A redimensionar'),
    ('1', 'Texto_redimension6', 'Outra imagem deste lote já tem esse nome. Guardada como'),
    ('1', 'Texto_motivo1', 'Motivo: imagem não suportada ou danificada.'),
    ('1', 'Texto_motivo2', 'Motivo: demasiado grande para a memória disponível.'),
    ('1', 'Texto_motivo3', 'Motivo: a conversão demorou demasiado.'),
    ('1', 'Texto_motivo4', 'Motivo: não é possível escrever no destino (permissões).'),
    ('1', 'Texto_motivo5', 'Motivo: o disco está cheio.'),
    ('1', 'Texto_motivo6', 'Motivo: o ficheiro desapareceu ou foi alterado.'),
    ('1', 'Texto_motivo7', 'Motivo: o ficheiro está incompleto; os seus dados terminam antes do tempo.'),
    ('1', 'Texto_motivo8', 'Motivo: não é possível ler o ficheiro (permissões).'),
    ('1', 'Texto_motivo9', 'Motivo: o destino é um ficheiro, não uma pasta.'),
    ('1', 'Texto_motivo10', 'Motivo: o nome de saída está ocupado por uma pasta ou um ficheiro especial.'),
    ('1', 'Texto_motivo11', 'Motivo: a saída substituiria a sua origem.'),
    ('1', 'Texto_motivo12', 'Motivo: os dados da imagem estão danificados.'),
    ('1', 'Texto_motivo13', 'Motivo: a imagem é maior do que o seu formato de saída permite.'),
    ('1', 'Texto_motivo14', 'Motivo: o caminho da saída é mais longo do que o sistema permite.'),
    ('1', 'Texto_motivo_no_existe', 'Motivo: o ficheiro ou a pasta não existe.'),
    ('1', 'Texto_motivo_carpeta_vacia', 'Motivo: a pasta não contém nenhuma imagem suportada.'),
    ('1', 'Texto_linea_restante', 'faltam cerca de %1'),
    ('1', 'Texto_fallo1', 'Não foi possível converter %1.'),
    ('1', 'Texto_fallo2', 'Quer continuar com as outras imagens? Parar termina aqui o redimensionamento; as imagens já convertidas são mantidas.'),
    ('1', 'Texto_resumen1', 'Redimensionamento terminado: %1 de %2 imagens gravadas.'),
    ('1', 'Texto_resumen2', 'Não convertidas (%1):'),
    ('1', 'Texto_resumen3', 'Gravadas com outro nome, porque outra imagem deste lote tem o mesmo nome (%1):'),
    ('1', 'Texto_resumen4', '... e mais %1'),
    ('1', 'Texto_resumen5', 'As imagens não convertidas estão selecionadas na lista.'),
    ('1', 'Texto_resumen6', 'Quer abrir a pasta de destino?'),
    ('1', 'Texto_resumen7', 'Acima do limite de tamanho mesmo com a qualidade mais baixa, gravadas na mesma (%1):'),
    ('1', 'Texto_lista1', 'Imagens na lista: %1'),
    ('1', 'ActualizacionCaption', 'Nova versão disponível'),
    ('1', 'ActualizacionTexto', 'Uma nova versão do Kavenra foi publicada. Deseja abrir a página de transferências?');

-- Main window: the longest side's hint, the manual ratio, and the messages of the dimension
-- fields and the destination folder
INSERT INTO traduccion (form, object, caption) VALUES
    ('1', 'Edit4Hint', 'A largura e a altura da imagem são ajustadas proporcionalmente a este valor'),
    ('1', 'RadioButton11', 'Manual'),
    ('1', 'Texto_no_puedo', 'Não posso'),
    ('1', 'Texto_abrir_carpeta', 'Não foi possível abrir a pasta. É preciso um programa que abra pastas, como o xdg-open (pacote xdg-utils).');

-- Main window: what the image list left out, by name and reason; a run without a window:
-- the files of named folders left out, and the window asked for where there is no display
INSERT INTO traduccion (form, object, caption) VALUES
    ('1', 'ImagenMsg5', 'Imagens na lista: %1. Omitidos: %2'),
    ('1', 'Texto_fuera_no_existe', 'não encontrado: %1'),
    ('1', 'Texto_fuera_no_imagen', 'não é uma imagem suportada: %1'),
    ('1', 'Texto_fuera_no_legible', 'não é possível ler: %1'),
    ('1', 'Texto_fuera_carpeta', 'sem imagens suportadas: %1'),
    ('1', 'Texto_resumen_omitidos', 'Ficheiros omitidos por não serem imagens suportadas: %1'),
    ('1', 'Texto_sin_pantalla', 'Não há ecrã onde abrir a janela (nem DISPLAY nem WAYLAND_DISPLAY estão definidos). Para redimensionar sem janela, use --resize, por exemplo: kavenra --resize --longest 1600 FICHEIRO... (kavenra --resize --help explica mais).');

-- Language dialog
INSERT INTO traduccion (form, object, caption) VALUES
    ('4', 'MsgBox_Idioma', 'Escolha uma língua da lista.');

-- Options dialog
INSERT INTO traduccion (form, object, caption) VALUES
    ('3', 'Form_Caption', 'Opções'),
    ('3', 'Label8', 'Formatos RAW suportados - plugin FreeImage'),
    ('3', 'GroupBox2', 'Filtro de redimensionamento'),
    ('3', 'Button1', 'Guardar'),
    ('3', 'Label7', 'Taxa de compressão'),
    ('3', 'ValueListEditor1', 'Extensão,Descrição'),
    ('3', 'RadioButton6', 'BMP_DEFAULT      (Sem compressão)'),
    ('3', 'RadioButton7', 'BMP_SAVE_RLE    (Compressão RLE)'),
    ('3', 'RadioButton9', 'PNG_Z_BEST_SPEED                    (Compressão fraca)'),
    ('3', 'RadioButton10', 'PNG_Z_DEFAULT_COMPRESSION      (Normal)'),
    ('3', 'RadioButton11', 'PNG_Z_BEST_COMPRESSION     (Melhor compressão)'),
    ('3', 'RadioButton12', 'PNG_Z_NO_COMPRESSION          (Sem compressão)'),
    ('3', 'RadioButton13', 'TARGA_DEFAULT     (Sem compressão)'),
    ('3', 'RadioButton14', 'TARGA_SAVE_RLE   (Compressão RLE)'),
    ('3', 'RadioButton15', 'TIFF_NONE             (Sem compressão)'),
    ('3', 'RadioButton16', 'TIFF_LZW               (Compressão LZW)'),
    ('3', 'RadioButton17', 'TIFF_DEFLATE        (Compressão ZLIB)'),
    ('3', 'RadioButton18', 'TIFF_JPEG              (Compressão JPEG)'),
    ('3', 'Label1_from_SRC1', 'Qualidade excelente (JPEG_QUALITYSUPERB)'),
    ('3', 'Label1_from_SRC2', 'Boa qualidade (JPEG_QUALITYGOOD)'),
    ('3', 'Label1_from_SRC3', 'Qualidade normal (JPEG_QUALITYNORMAL)'),
    ('3', 'Label1_from_SRC4', 'Qualidade média (JPEG_QUALITYAVERAGE)'),
    ('3', 'Label1_from_SRC5', 'Qualidade baixa (JPEG_QUALITYBAD)'),
    ('3', 'TrackBar1Hint', 'Desloque o cursor para escolher a qualidade'),
    ('3', 'RadioButton18Hint', 'Apenas imagens em tons de cinzento de 8 bits ou de 24 bits'),
    ('3', 'saveAsGroup', 'Guardar como'),
    ('3', 'saveAsOriginalButton', 'Formato do original'),
    ('3', 'webpQualityLabel', 'Qualidade'),
    ('3', 'webpLosslessBox', 'Sem perda'),
    ('3', 'fastJpegDecodingBox', 'Descodificação rápida de JPEG ao reduzir (à escala 1/2, 1/4 ou 1/8)'),
    ('3', 'saveAsGroupHint', 'Um TIFF de várias páginas guardado noutro formato mantém apenas a primeira página'),
    ('3', 'moreChoicesGroup', 'Mais opções'),
    ('3', 'noEnlargeBox', 'Não ampliar as imagens mais pequenas'),
    ('3', 'fitWithinBox', 'Ajustar a largura × altura (manter as proporções)'),
    ('3', 'keepDatesBox', 'Manter as datas dos ficheiros'),
    ('3', 'subfoldersBox', 'Incluir subpastas'),
    ('3', 'removeLocationBox', 'Remover a localização (GPS)'),
    ('3', 'sizeBudgetBox', 'JPEG e WebP no máximo (KB):');

-- Folder chooser
INSERT INTO traduccion (form, object, caption) VALUES
    ('5', 'Caption', 'Seleção de pasta'),
    ('5', 'Button1', 'OK'),
    ('5', 'Button2', 'Nova pasta'),
    ('5', 'InputBox_Carpeta', 'Nova pasta'),
    ('5', 'InputBox_Carpeta2', 'Nome da nova pasta:'),
    ('5', 'MsgBox_Carpeta', 'A pasta foi criada.'),
    ('5', 'MsgBox_Error', 'Não foi possível criar a pasta. Talvez ela já exista, o nome não seja válido ou não tenha permissão para escrever aqui.'),
    ('5', 'MsgBox_Carpeta2', 'Aviso'),
    ('5', 'InputBox_Cancelar', 'Cancelar');

-- Message box
INSERT INTO traduccion (form, object, caption) VALUES
    ('6', 'Button1', 'OK'),
    ('6', 'Button2', 'Sim'),
    ('6', 'Button3', 'Não');

-- About box
INSERT INTO traduccion (form, object, caption) VALUES
    ('7', 'Caption', 'Sobre ...'),
    ('7', 'Button1', 'Fechar'),
    ('7', 'Label2', 'Outubro de 2015'),
    ('7', 'Label4', 'Usa a biblioteca FreeImage versão'),
    ('7', 'Label6', 'Mais informações em freeimage.sourceforge.io'),
    ('7', 'Label7', 'Se lhe for útil, pague-me uma cerveja! :-)'),
    ('7', 'Image15Hint', 'Se gosta do programa e puder, pague-me uma cerveja!'),
    ('7', 'licenceLabel', 'Software livre: GNU GPL 3.0 ou posterior'),
    ('7', 'creditsButton', 'Créditos…'),
    ('7', 'creditsCaption', 'Créditos e licenças'),
    ('7', 'creditsIntroduction', 'O Kavenra é software livre sob a Licença Pública Geral GNU, versão 3 ou posterior. É feito com estas bibliotecas:');

-- The run's progress, the questions after a failed file and on closing during a run, a stopped
-- run's summary line, the options dialog's pages and Cancel, the language dialog's own texts, and
-- the terminal's line for a desktop notification that could not be shown
INSERT INTO traduccion (form, object, caption) VALUES
    ('1', 'Texto_progreso', '%1 de %2'),
    ('1', 'Texto_boton_seguir', 'Continuar'),
    ('1', 'Texto_boton_detener', 'Parar'),
    ('1', 'Texto_boton_cerrar', 'Parar e fechar'),
    ('1', 'Texto_cerrar_en_curso', 'Está em curso um redimensionamento. Pará-lo e fechar? As imagens já convertidas são mantidas.'),
    ('1', 'Texto_resumen8', 'O redimensionamento foi parado antes do fim: %1 imagens não foram redimensionadas.'),
    ('1', 'Texto_notificacion_fallida', 'não foi possível mostrar a notificação do ambiente de trabalho: %1'),
    ('3', 'CancelButton', 'Cancelar'),
    ('3', 'FormatsPage', 'Qualidade e formatos'),
    ('3', 'MoreOptionsPage', 'Mais opções'),
    ('4', 'Caption', 'Seleção de idioma'),
    ('4', 'Label1', 'Bem-vindo! Escolha o seu idioma. Esta pergunta só é feita da primeira vez.'),
    ('4', 'Label1_menu', 'Escolha o seu idioma.'),
    ('4', 'Button1', 'OK');
