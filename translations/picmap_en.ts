<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ja">
<context>
    <name>ErrorMng</name>
    <message>
        <source>ドライブ関連エラー</source>
        <translation>Drive error</translation>
    </message>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>その他エラー</source>
        <translation>Other error</translation>
    </message>
    <message>
        <source>読み取り専用のドライブです.</source>
        <translation>the drive is read-only.</translation>
    </message>
    <message>
        <source>アクセス権がありません.</source>
        <translation>you have no permission for it.</translation>
    </message>
    <message>
        <source>同じ名前のフォルダーがあります.</source>
        <translation>a folder has that name.</translation>
    </message>
    <message>
        <source>ファイル名が長すぎます.</source>
        <translation>the file name is too long.</translation>
    </message>
    <message>
        <source>パスの途中がフォルダーではありません.</source>
        <translation>a part of the path is not a folder.</translation>
    </message>
    <message>
        <source>ディスクの使用量の上限を超えています.</source>
        <translation>the disk quota is exceeded.</translation>
    </message>
    <message>
        <source>保存先のフォルダーがありません.</source>
        <translation>the folder to save in does not exist.</translation>
    </message>
    <message>
        <source>メモリが足りません.</source>
        <translation>there is not enough memory.</translation>
    </message>
    <message>
        <source>数値が扱える範囲を超えました.</source>
        <translation>a number went beyond the range it can hold.</translation>
    </message>
    <message>
        <source>この版の地図ファイルには対応していません.</source>
        <translation>this version of map file is not supported.</translation>
    </message>
    <message>
        <source>地図ファイルの内容が正しくありません.</source>
        <translation>the map file&apos;s content is not valid.</translation>
    </message>
    <message>
        <source>添字が範囲外です.</source>
        <translation>an index was out of range.</translation>
    </message>
    <message>
        <source>0 で割ろうとしました.</source>
        <translation>a division by zero was attempted.</translation>
    </message>
    <message>
        <source>型が一致しません.</source>
        <translation>a value had the wrong type.</translation>
    </message>
    <message>
        <source>手続きの呼び出しまたは引数が正しくありません.</source>
        <translation>a procedure was called with an invalid argument.</translation>
    </message>
    <message>
        <source>原因は下の記録のとおりです.</source>
        <translation>the record below tells the cause.</translation>
    </message>
    <message>
        <source>処理中にエラーが発生しました: %2</source>
        <translation>An error occurred: %2</translation>
    </message>
    <message>
        <source>ファイル「%1」の処理中にエラーが発生しました: %2</source>
        <translation>An error occurred while handling the file “%1”: %2</translation>
    </message>
    <message>
        <source>ファイルにアクセスできませんでした: %2</source>
        <translation>The file could not be accessed: %2</translation>
    </message>
    <message>
        <source>ファイル「%1」にアクセスできませんでした: %2</source>
        <translation>The file “%1” could not be accessed: %2</translation>
    </message>
    <message>
        <source>再試行しますか？</source>
        <translation>Try again?</translation>
    </message>
    <message>
        <source>ファイル名またはファイル番号が正しくありません.</source>
        <translation>Bad file name or number.</translation>
    </message>
    <message>
        <source>ファイルが見つかりません.</source>
        <translation>File not found.</translation>
    </message>
    <message>
        <source>ファイルのモードが正しくありません.</source>
        <translation>Bad file mode.</translation>
    </message>
    <message>
        <source>ファイルは既に開かれています.</source>
        <translation>The file is already open.</translation>
    </message>
    <message>
        <source>デバイスの入出力でエラーが発生しました.</source>
        <translation>A device input/output error occurred.</translation>
    </message>
    <message>
        <source>ファイルは既に存在します.</source>
        <translation>The file already exists.</translation>
    </message>
    <message>
        <source>レコードの長さが正しくありません.</source>
        <translation>Bad record length.</translation>
    </message>
    <message>
        <source>ディスクの空き容量が足りません.</source>
        <translation>The disk is full.</translation>
    </message>
    <message>
        <source>ファイルの終わりを越えて読み込もうとしました.</source>
        <translation>Reading went past the end of the file.</translation>
    </message>
    <message>
        <source>レコード番号が正しくありません.</source>
        <translation>Bad record number.</translation>
    </message>
    <message>
        <source>ファイル名が正しくありません.</source>
        <translation>Bad file name.</translation>
    </message>
    <message>
        <source>開いているファイルが多すぎます.</source>
        <translation>Too many files are open.</translation>
    </message>
    <message>
        <source>デバイスが使用できません.</source>
        <translation>The device is unavailable.</translation>
    </message>
    <message>
        <source>ファイルへのアクセスが拒否されました.</source>
        <translation>Access to the file was denied.</translation>
    </message>
    <message>
        <source>ディスクの準備ができていません.</source>
        <translation>The disk is not ready.</translation>
    </message>
    <message>
        <source>別のドライブへ名前を変更することはできません.</source>
        <translation>A file cannot be renamed onto another drive.</translation>
    </message>
    <message>
        <source>パスまたはファイルへのアクセスでエラーが発生しました.</source>
        <translation>An error occurred accessing the path or file.</translation>
    </message>
    <message>
        <source>パスが見つかりません.</source>
        <translation>Path not found.</translation>
    </message>
    <message>
        <source>ファイルの読み書きでエラーが発生しました.</source>
        <translation>An error occurred reading or writing the file.</translation>
    </message>
</context>
<context>
    <name>Library</name>
    <message>
        <source>は読み取り専用ファイルです.</source>
        <translation>is a read-only file.</translation>
    </message>
</context>
<context>
    <name>MapExport</name>
    <message>
        <source>%1: 名前から形式が分かりません. -f で指定してください</source>
        <translation>%1: cannot tell the format from the name; give it with -f</translation>
    </message>
    <message>
        <source>%1: .%2 のファイルを書くベクター形式がありません. -f で指定してください</source>
        <translation>%1: no vector format writes .%2 files; give one with -f</translation>
    </message>
    <message>
        <source>%1: .%2 のファイルを書く形式が複数あります (%3). -f で選んでください</source>
        <translation>%1: several formats write .%2 files (%3); choose one with -f</translation>
    </message>
    <message>
        <source>%1: 書き込めません: %2</source>
        <translation>%1: cannot write: %2</translation>
    </message>
    <message>
        <source>%1: 地図に書き出す図形がありません</source>
        <translation>%1: the map has no figures to export</translation>
    </message>
    <message>
        <source>GDAL には書き込めるベクター形式 %1 がありません</source>
        <translation>GDAL has no vector format %1 it can write</translation>
    </message>
    <message>
        <source>%1: 既にあります. 置き換えるには --overwrite を指定してください</source>
        <translation>%1: exists already; give --overwrite to replace it</translation>
    </message>
    <message>
        <source>%1: 地図ファイルがありません</source>
        <translation>%1: the map file does not exist</translation>
    </message>
    <message>
        <source>%1: このプログラムが読める地図ファイルではありません</source>
        <translation>%1: not a map file this program can read</translation>
    </message>
    <message>
        <source>%1: このプログラムが読める地図ファイルではありません (%2)</source>
        <translation>%1: not a map file this program can read (%2)</translation>
    </message>
    <message>
        <source>%1: シェープファイルには 1 種類の図形しか入りません (地図には %2 種類): 種類ごとに書き出すにはフォルダーを指定してください</source>
        <translation>%1: a shapefile holds one kind of figure and the map holds %2: name a folder to write one shapefile for each</translation>
    </message>
    <message>
        <source>%1: 全体を読み込めません: %2</source>
        <translation>%1: cannot be read whole: %2</translation>
    </message>
</context>
<context>
    <name>ReferenceLayer</name>
    <message>
        <source>GDAL で読み込めません</source>
        <translation>GDAL cannot read it</translation>
    </message>
    <message>
        <source>座標系がなく, 座標も経度緯度ではありません</source>
        <translation>no coordinate system, and its coordinates are not longitude/latitude</translation>
    </message>
    <message>
        <source>座標系を経度緯度に変換できません</source>
        <translation>its coordinate system cannot be turned into longitude/latitude</translation>
    </message>
    <message>
        <source>線も多角形もありません</source>
        <translation>no lines or polygons in it</translation>
    </message>
    <message>
        <source>地球上の位置を示す情報がありません</source>
        <translation>it carries no georeferencing</translation>
    </message>
    <message>
        <source>ベクターの地物もラスターのバンドもありません</source>
        <translation>neither vector features nor raster bands in it</translation>
    </message>
</context>
<context>
    <name>StagedFile</name>
    <message>
        <source>%1 で他の保存が終わるのを待っています</source>
        <translation>waiting for another save in %1 to end</translation>
    </message>
    <message>
        <source>中断された保存が %2 の横に残した一時ファイル %1 個を削除しました</source>
        <translation>removed %1 temporary file(s) that killed saves had left beside %2</translation>
    </message>
    <message>
        <source>%1 のバックアップは短くした名前 %2 で残しています</source>
        <translation>the backup of %1 is kept under the shortened name %2</translation>
    </message>
</context>
<context>
    <name>cleanup</name>
    <message>
        <source>読み込めません</source>
        <translation>cannot be read</translation>
    </message>
    <message>
        <source>%1 行目は色ではありません (#RRGGBB, GIMP パレットでは R G B)</source>
        <translation>line %1 is not a colour (#RRGGBB, or R G B in a GIMP palette)</translation>
    </message>
    <message>
        <source>色がひとつもありません</source>
        <translation>holds no colour</translation>
    </message>
    <message>
        <source>256 色を超える色があります</source>
        <translation>holds more than 256 colours</translation>
    </message>
    <message>
        <source>パレットが 256 色で無効色がありません: 無効色のために 1 色あけてください</source>
        <translation>the palette holds 256 colours and the background colour is none of them: leave one out for it</translation>
    </message>
    <message>
        <source>画像の色が 256 色を超えています: 小領域を除く前に色を減らしてください (--colors または --palette)</source>
        <translation>the picture holds more than 256 colours: reduce them (--colors or --palette) before removing small regions</translation>
    </message>
</context>
<context>
    <name>clsMap</name>
    <message>
        <source>は変更禁止.</source>
        <translation>is locked against changes.</translation>
    </message>
    <message>
        <source>地図バージョンがアプリケーションの対応範囲を超えています.アップグレードしてください.</source>
        <translation>The map version is newer than this program reads. Please upgrade.</translation>
    </message>
    <message>
        <source>地図バージョン確認不能</source>
        <translation>The map version cannot be determined</translation>
    </message>
    <message>
        <source>地図図形ファイルが存在しません.</source>
        <translation>The map file does not exist.</translation>
    </message>
    <message>
        <source>不正な図形内容</source>
        <translation>invalid figure content</translation>
    </message>
    <message>
        <source>不正な図形コード</source>
        <translation>invalid figure code</translation>
    </message>
    <message>
        <source>点数が多すぎて1.05以前の地図ファイルに保存できません(Points:%1, Max:%2)</source>
        <translation>too many points to save in a map file of version 1.05 or older (Points:%1, Max:%2)</translation>
    </message>
</context>
<context>
    <name>clsThing</name>
    <message>
        <source>事象番号が範囲外です(0～999)</source>
        <translation>The thing number is out of range (0 to 999)</translation>
    </message>
</context>
<context>
    <name>clsThings</name>
    <message>
        <source>は変更禁止.</source>
        <translation>is locked against changes.</translation>
    </message>
    <message>
        <source>事象ファイルが存在しません.</source>
        <translation>The thing file does not exist.</translation>
    </message>
    <message>
        <source>事象番号が重複しています</source>
        <translation>The thing number is given twice</translation>
    </message>
</context>
<context>
    <name>frmMain</name>
    <message>
        <source>   [圧縮中...]</source>
        <translation>   [compressing...]</translation>
    </message>
    <message>
        <source>２次元圧縮を完了しました(削減数=%1). 保存してください.</source>
        <translation>Two-dimensional compression is done (%1 figures merged). Please save the map.</translation>
    </message>
    <message>
        <source>の読み込みに失敗しました.</source>
        <translation>could not be read.</translation>
    </message>
    <message>
        <source>に、事象 [画像ポリゴン] がありません.</source>
        <translation>does not hold the thing [画像ポリゴン] (image polygon).</translation>
    </message>
    <message>
        <source>ファイルを開く</source>
        <translation>Open File</translation>
    </message>
    <message>
        <source>画像ファイル</source>
        <translation>Picture File</translation>
    </message>
    <message>
        <source>画像が小さすぎます: %1x%2ピクセル (16x16ピクセル以上が必要です).</source>
        <translation>The picture is too small: %1x%2 pixels (at least 16x16 pixels are needed).</translation>
    </message>
    <message>
        <source>画像左端の経度を入力してください.</source>
        <translation>Enter the longitude of the picture&apos;s left edge.</translation>
    </message>
    <message>
        <source>画像右端の経度を入力してください.</source>
        <translation>Enter the longitude of the picture&apos;s right edge.</translation>
    </message>
    <message>
        <source>画像上端の緯度を入力してください.</source>
        <translation>Enter the latitude of the picture&apos;s top edge.</translation>
    </message>
    <message>
        <source>画像下端の緯度を入力してください.</source>
        <translation>Enter the latitude of the picture&apos;s bottom edge.</translation>
    </message>
    <message>
        <source>「%1」を角度として読み取れません.</source>
        <translation>“%1” cannot be read as an angle.</translation>
    </message>
    <message>
        <source>「%1」は範囲外です. 経度は W180°00′00″ から E180°00′00″ の間で入力してください.</source>
        <translation>“%1” is out of range. Enter a longitude from W180°00′00″ to E180°00′00″.</translation>
    </message>
    <message>
        <source>「%1」は範囲外です. 緯度は S90°00′00″ から N90°00′00″ の間で入力してください.</source>
        <translation>“%1” is out of range. Enter a latitude from S90°00′00″ to N90°00′00″.</translation>
    </message>
    <message>
        <source>「%1」は範囲外です. 上端の緯度は下端の緯度より30″以上北にしてください.</source>
        <translation>“%1” is out of range. The top edge must lie at least 30″ north of the bottom edge.</translation>
    </message>
    <message>
        <source>西端経度：</source>
        <translation>West edge: </translation>
    </message>
    <message>
        <source>東端経度：</source>
        <translation>East edge: </translation>
    </message>
    <message>
        <source>北端緯度：</source>
        <translation>North edge: </translation>
    </message>
    <message>
        <source>南端緯度：</source>
        <translation>South edge: </translation>
    </message>
    <message>
        <source>地図化領域サイズ：</source>
        <translation>Area size:</translation>
    </message>
    <message>
        <source>画像ピクセル数：</source>
        <translation>Picture pixels:</translation>
    </message>
    <message>
        <source>ピクセルサイズ：</source>
        <translation>Pixel size:</translation>
    </message>
    <message>
        <source>色コード：(未設定)</source>
        <translation>Colour code: (not set)</translation>
    </message>
    <message>
        <source>色コード：BBGGRR = </source>
        <translation>Colour code: BBGGRR = </translation>
    </message>
    <message>
        <source>図形総数：</source>
        <translation>Figures: </translation>
    </message>
    <message>
        <source>画像地図化ツール - ver.</source>
        <translation>Picture Map Tool - ver.</translation>
    </message>
    <message>
        <source>すべてのピクチャファイル(*.*)|*.BMP;*.GIF;*.PNG;*.JPG;*.JPEG;*.JPE|BMPイメージファイル(*.BMP)|*.BMP|GIFイメージファイル(*.GIF)|*.GIF|PNGイメージファイル(*.PNG)|*.PNG|JPEGイメージファイル|*.JPG;*.JPEG;*.JPE|</source>
        <translation>All picture files(*.*)|*.BMP;*.GIF;*.PNG;*.JPG;*.JPEG;*.JPE|BMP pictures(*.BMP)|*.BMP|GIF pictures(*.GIF)|*.GIF|PNG pictures(*.PNG)|*.PNG|JPEG pictures|*.JPG;*.JPEG;*.JPE|</translation>
    </message>
    <message>
        <source>経緯度地図ﾌｧｲﾙ(*.MLL)|*.MLL|</source>
        <translation>Longitude/latitude map file(*.MLL)|*.MLL|</translation>
    </message>
    <message>
        <source>ポリゴン生成に成功しました. [２次元圧縮] もしくは [保存] してください.</source>
        <translation>The polygons were generated. Now run [Two-Dimensional Compression] or [Save].</translation>
    </message>
    <message>
        <source>ポリゴン生成に成功しました. [保存] してください.</source>
        <translation>The polygons were generated. Now [Save] them.</translation>
    </message>
    <message>
        <source>ポリゴン生成は中断されました.</source>
        <translation>Polygon generation was aborted.</translation>
    </message>
    <message>
        <source>ポリゴン生成に失敗しました.</source>
        <translation>Polygon generation failed.</translation>
    </message>
    <message>
        <source>２次元圧縮は中断されました.</source>
        <translation>Two-dimensional compression was aborted.</translation>
    </message>
    <message>
        <source>保存に成功しました.</source>
        <translation>The map was saved.</translation>
    </message>
    <message>
        <source>保存に失敗しました.</source>
        <translation>The map could not be saved.</translation>
    </message>
    <message>
        <source>を画像として読み込めませんでした.</source>
        <translation>could not be read as a picture.</translation>
    </message>
    <message>
        <source>画像ファイルが途中で切れています.</source>
        <translation>The picture file is cut off before its end.</translation>
    </message>
    <message>
        <source>ワールドファイルから設定(&amp;F)</source>
        <translation>From the World &amp;File</translation>
    </message>
    <message>
        <source>先に画像ファイルを開いてください.</source>
        <translation>Open a picture file first.</translation>
    </message>
    <message>
        <source>   [ポリゴン生成中...]</source>
        <translation>   [generating polygons...]</translation>
    </message>
    <message>
        <source>地図化領域が狭すぎます: %1x%2 (経度・緯度とも30″以上が必要です).</source>
        <translation>The area is too small: %1x%2 (at least 30″ of longitude and of latitude are needed).</translation>
    </message>
    <message>
        <source>ピクセルサイズが細かすぎます: %1x%2 (経度・緯度とも10″以上が必要です).</source>
        <translation>The pixels are too fine: %1x%2 (at least 10″ of longitude and of latitude each are needed).</translation>
    </message>
    <message>
        <source>画像が大きすぎます: %1x%2ピクセル (%3MB). この計算機で読み込める画像は %4MB までです.</source>
        <translation>The picture is too large: %1x%2 pixels (%3MB). This computer can read pictures of up to %4MB.</translation>
    </message>
    <message>
        <source>経度：%1  緯度：%2</source>
        <translation>Longitude: %1  Latitude: %2</translation>
    </message>
    <message>
        <source>  画像ピクセル：%1, %2</source>
        <translation>  Picture pixel: %1, %2</translation>
    </message>
    <message>
        <source>地図ファイル名を指定する</source>
        <translation>Name the Map File</translation>
    </message>
    <message>
        <source>   [保存中...]</source>
        <translation>   [saving...]</translation>
    </message>
    <message>
        <source>ワールドファイルに回転の項があるため使用できません.</source>
        <translation>The world file has rotation terms and cannot be used.</translation>
    </message>
    <message>
        <source>ワールドファイルのピクセルサイズが北を上にした画像のものではありません.</source>
        <translation>The world file&apos;s pixel size is not that of a picture with north up.</translation>
    </message>
    <message>
        <source>画像が開かれていません.</source>
        <translation>No picture is open.</translation>
    </message>
    <message>
        <source>ワールドファイルの示す範囲が経度±180度・緯度±90度を超えています.</source>
        <translation>The world file places the picture beyond ±180° of longitude or ±90° of latitude.</translation>
    </message>
    <message>
        <source>ワールドファイルの示す緯度の幅が狭すぎます.</source>
        <translation>The world file&apos;s latitude span is too small.</translation>
    </message>
    <message>
        <source>ワールドファイルの示す経度の幅が狭すぎます.</source>
        <translation>The world file&apos;s longitude span is too small.</translation>
    </message>
    <message>
        <source>に対応するワールドファイル(.pgw .jgw .gfw .bpw .tfw .wld)がありません.</source>
        <translation>has no world file (.pgw .jgw .gfw .bpw .tfw .wld) beside it.</translation>
    </message>
    <message>
        <source>はワールドファイルとして読めません.</source>
        <translation>cannot be read as a world file.</translation>
    </message>
    <message>
        <source>画像地図化ツール</source>
        <translation>Picture Map Tool</translation>
    </message>
    <message>
        <source>生成した地図が保存されていません.<byte value="xd"/>
保存しますか?<byte value="xd"/>
([いいえ] を選ぶと地図は破棄されます.)</source>
        <translation>The generated map has not been saved.<byte value="xd"/>
Save it?<byte value="xd"/>
(No discards the map.)</translation>
    </message>
    <message>
        <source>すべてのファイル(*.*)|*.*|ベクタファイル(*.SHP;*.GPKG;*.GEOJSON;*.KML;*.GML)|*.SHP;*.GPKG;*.GEOJSON;*.JSON;*.KML;*.GML|ラスタファイル(*.TIF;*.TIFF;*.JP2;*.PNG;*.JPG)|*.TIF;*.TIFF;*.JP2;*.PNG;*.JPG|</source>
        <translation>All files(*.*)|*.*|Vector files(*.SHP;*.GPKG;*.GEOJSON;*.KML;*.GML)|*.SHP;*.GPKG;*.GEOJSON;*.JSON;*.KML;*.GML|Raster files(*.TIF;*.TIFF;*.JP2;*.PNG;*.JPG)|*.TIF;*.TIFF;*.JP2;*.PNG;*.JPG|</translation>
    </message>
    <message>
        <source>を参照レイヤーとして読み込めませんでした.</source>
        <translation>could not be read as a reference layer.</translation>
    </message>
    <message>
        <source>参照レイヤーの追加</source>
        <translation>Add Reference Layer</translation>
    </message>
    <message>
        <source>基準点ファイル(*.POINTS)|*.POINTS|</source>
        <translation>Control point files(*.POINTS)|*.POINTS|</translation>
    </message>
    <message>
        <source>RMS: %1 ピクセル</source>
        <translation>RMS: %1 pixels</translation>
    </message>
    <message>
        <source>先に画像上の点をクリックしてください.</source>
        <translation>Click a point on the picture first.</translation>
    </message>
    <message>
        <source>基準点の経度を入力してください.</source>
        <translation>Enter the control point&apos;s longitude.</translation>
    </message>
    <message>
        <source>基準点の緯度を入力してください.</source>
        <translation>Enter the control point&apos;s latitude.</translation>
    </message>
    <message>
        <source>基準点ファイルを開く</source>
        <translation>Open Control Point File</translation>
    </message>
    <message>
        <source>を基準点ファイルとして読み込めませんでした.</source>
        <translation>could not be read as a control point file.</translation>
    </message>
    <message>
        <source>保存する基準点がありません.</source>
        <translation>There are no control points to save.</translation>
    </message>
    <message>
        <source>基準点ファイル名を指定する</source>
        <translation>Name the control point file</translation>
    </message>
    <message>
        <source>に基準点を保存できませんでした.</source>
        <translation>could not take the control points.</translation>
    </message>
    <message>
        <source>GISラスタファイル(*.TIF;*.TIFF;*.JP2;*.PNM)|*.TIF;*.TIFF;*.JP2;*.J2K;*.PNM;*.PPM;*.PGM;*.IMG|すべてのファイル(*.*)|*.*|</source>
        <translation>GIS raster files (*.TIF;*.TIFF;*.JP2;*.PNM)|*.TIF;*.TIFF;*.JP2;*.J2K;*.PNM;*.PPM;*.PGM;*.IMG|All files (*.*)|*.*|</translation>
    </message>
    <message>
        <source>フォルダーです. 画像ファイルを指定してください.</source>
        <translation>It is a folder; give a picture file.</translation>
    </message>
    <message>
        <source>「%1」は %2 と読めます (数の後の %3 は秒を表します).<byte value="xd"/>
%4 のことですか?</source>
        <translation>&quot;%1&quot; reads as %2 (%3 after a number counts arc-seconds).<byte value="xd"/>
Did you mean %4?</translation>
    </message>
    <message>
        <source>地図は生成したときの範囲 (%1 – %2, %3 – %4) のままです. その後に変えた範囲は地図に入っていません.<byte value="xd"/>
このまま保存しますか? (いまの範囲で保存するには生成し直してください.)</source>
        <translation>The map lies on the extents it was generated on (%1 – %2, %3 – %4); the extents changed since are not in it.<byte value="xd"/>
Save it as it is? (To save it on the present extents, generate it again.)</translation>
    </message>
    <message>
        <source>画像を読み込むメモリが足りません: %1x%2ピクセル (%3MB).</source>
        <translation>There is not enough memory to read the picture: %1x%2 pixels (%3MB).</translation>
    </message>
    <message>
        <source>基準点が保存されていません.<byte value="xd"/>
基準点ファイルに保存しますか?<byte value="xd"/>
([いいえ] を選ぶと基準点は破棄されます.)</source>
        <translation>The control points have not been saved.<byte value="xd"/>
Save them to a points file?<byte value="xd"/>
(No discards the control points.)</translation>
    </message>
    <message>
        <source>%1 (範囲を動かしたため, 地図は基準点に合っていません)</source>
        <translation>%1 (the extents were moved: the map no longer fits the control points)</translation>
    </message>
    <message>
        <source>背景色 %1 の部分が画像にありません. どの画素も地図に入りました.</source>
        <translation>The picture has no area of the background colour %1. Every pixel went into the map.</translation>
    </message>
    <message>
        <source>画像の外です. 基準点は, まず画像の上の点を, 次にその点の地図上の位置をクリックします.</source>
        <translation>That is outside the picture. A control point is a point of the picture clicked first, then its place on the map.</translation>
    </message>
    <message>
        <source>通常のファイルではありません (パイプや装置からは読み込めません).</source>
        <translation>is not a regular file (a picture cannot be read from a pipe or a device).</translation>
    </message>
</context>
<context>
    <name>georef</name>
    <message>
        <source>%1 行目: 基準点には mapX,mapY,sourceX,sourceY,enable が必要です.</source>
        <translation>line %1: a control point needs mapX,mapY,sourceX,sourceY,enable.</translation>
    </message>
    <message>
        <source>%1 行目: &apos;%2&apos; は有限の数ではありません.</source>
        <translation>line %1: &apos;%2&apos; is not a finite number.</translation>
    </message>
    <message>
        <source>基準点がありません.</source>
        <translation>there are no control points.</translation>
    </message>
    <message>
        <source>座標参照系 &apos;%1&apos; がわかりません (EPSG:32654 のような符号, WKT または PROJ の文字列).</source>
        <translation>unknown coordinate reference system &apos;%1&apos; (give a code such as EPSG:32654, WKT or a PROJ string).</translation>
    </message>
    <message>
        <source>基準点 %1 の座標が数ではありません.</source>
        <translation>control point %1 has a coordinate that is not a number.</translation>
    </message>
    <message>
        <source>基準点 %1 の画素 (%2, %3) が画像 (%4x%5) の外にあります.</source>
        <translation>control point %1: pixel (%2, %3) lies outside the picture (%4x%5).</translation>
    </message>
    <message>
        <source>基準点が一直線上に並んでいます: 変換 %1 には一直線上にない点が %2 点以上必要です.</source>
        <translation>the control points lie on one line: transformation %1 needs at least %2 points that do not.</translation>
    </message>
    <message>
        <source>基準点が足りません: 変換 %1 には有効な基準点が %2 点以上必要です (%3 点あります).</source>
        <translation>too few control points: transformation %1 needs at least %2 enabled points (there are %3).</translation>
    </message>
    <message>
        <source>基準点から変換 %1 を求められません: 点の配置が偏っています (一直線上にない点が %2 点以上必要です).</source>
        <translation>transformation %1 cannot be fitted to the control points: they are badly spread (it needs at least %2 points not on one line).</translation>
    </message>
    <message>
        <source>変換 %1 は画像を折り返してしまいます: 基準点を見直すか, 次数の低い変換を選んでください.</source>
        <translation>transformation %1 folds the picture over itself: check the control points or choose a lower-order transformation.</translation>
    </message>
    <message>
        <source>画像の座標参照系から経緯度 (WGS 84) へ変換できません.</source>
        <translation>the picture&apos;s coordinate reference system cannot be transformed to longitude/latitude (WGS 84).</translation>
    </message>
    <message>
        <source>画像の位置を経緯度に変換できません: 基準点または座標参照系が画像を地球の外に置いています.</source>
        <translation>the picture cannot be placed in longitude/latitude: its control points or CRS put it off the globe.</translation>
    </message>
    <message>
        <source>変換後の画像が大きすぎます.</source>
        <translation>the warped picture would be too large.</translation>
    </message>
    <message>
        <source>経緯度に変換した画像は %1x%2 ピクセル (%3MB) になり, 上限の %4MB を超えます.</source>
        <translation>the picture warped to longitude/latitude would be %1x%2 pixels (%3MB), more than the limit of %4MB.</translation>
    </message>
    <message>
        <source>画像の位置が決まっていません.</source>
        <translation>the picture has no placement.</translation>
    </message>
    <message>
        <source>経緯度に変換した画像 (%1x%2 ピクセル) のためのメモリが足りません.</source>
        <translation>not enough memory for the picture warped to longitude/latitude (%1x%2 pixels).</translation>
    </message>
    <message>
        <source>%1 帯の %2 のラスタは画像として読めません (8 ビットの灰色, パレット, RGB または RGBA が読めます).</source>
        <translation>a raster of %1 band(s) of %2 cannot be read as a picture (8-bit grey, palette, RGB or RGBA can).</translation>
    </message>
    <message>
        <source>%1 行目: 座標参照系 &apos;%2&apos; がわかりません.</source>
        <translation>line %1: unknown coordinate reference system &apos;%2&apos;.</translation>
    </message>
    <message>
        <source>基準点</source>
        <translation>control points</translation>
    </message>
    <message>
        <source>画像に収められた基準点 %1 点, %2</source>
        <translation>%1 control points of the file (%2)</translation>
    </message>
    <message>
        <source>座標変換式</source>
        <translation>geotransform</translation>
    </message>
    <message>
        <source>基準点 %1 の緯度 %2 が -90 から 90 の範囲を外れています.</source>
        <translation>The latitude of control point %1, %2, lies outside -90 to 90.</translation>
    </message>
    <message>
        <source>経緯度の格子 (1 ピクセル 10″ 以上) に載せると %1x%2 ピクセルにしかなりません: 画像の範囲が狭すぎます (16x16 ピクセル以上が必要です).</source>
        <translation>On the longitude/latitude grid (pixels of 10″ or more) the picture is only %1x%2 pixels: it covers too small an area (at least 16x16 pixels are needed).</translation>
    </message>
    <message>
        <source>gdal_translate -b 1 -b 2 -b 3 で 3 帯を選べます.</source>
        <translation>gdal_translate -b 1 -b 2 -b 3 picks three of its bands.</translation>
    </message>
    <message>
        <source>gdal_translate -ot Byte -scale で 8 ビットにできます.</source>
        <translation>gdal_translate -ot Byte -scale makes it 8-bit.</translation>
    </message>
    <message>
        <source>座標変換式 (またはワールドファイル) が画素を位置に写せません: 画素の大きさが 0 か, 行と列が同じ向きです.</source>
        <translation>the geotransform (or world file) cannot place the pixels: a pixel size is 0, or rows and columns run the same way.</translation>
    </message>
    <message>
        <source>座標変換式が画像を緯度 ±90° の外まで置いています.</source>
        <translation>the geotransform places the picture beyond ±90° of latitude.</translation>
    </message>
    <message>
        <source>座標参照系 &apos;%1&apos; は地表の位置を表しません (地心座標系または高さの座標系です).</source>
        <translation>the CRS &apos;%1&apos; gives no positions on the earth&apos;s surface (it is geocentric or vertical).</translation>
    </message>
    <message>
        <source>画像のデータが壊れているか途中で切れています (%1)</source>
        <translation>the picture&apos;s data is damaged or cut short (%1)</translation>
    </message>
    <message>
        <source>gdal_translate -b 1 -b 2 -b 3 -ot Byte -scale で 8 ビットの 3 帯にできます.</source>
        <translation>gdal_translate -b 1 -b 2 -b 3 -ot Byte -scale makes three 8-bit bands of it.</translation>
    </message>
    <message>
        <source>回転または反転したワールドファイル</source>
        <translation>world file turned or flipped</translation>
    </message>
    <message>
        <source>座標変換式が画像を %1 km にわたって置いています. 地球より大きな範囲です.</source>
        <translation>The geotransform spreads the picture over %1 km, more than the whole earth.</translation>
    </message>
</context>
<context>
    <name>picmap-cli</name>
    <message>
        <source>--lang: ja か en を指定してください (&apos;%1&apos; ではなく)</source>
        <translation>--lang: expected ja or en, not &apos;%1&apos;</translation>
    </message>
    <message>
        <source>不明なサブコマンド &apos;%1&apos; です (--help を参照してください)</source>
        <translation>unknown verb &apos;%1&apos; (see --help)</translation>
    </message>
    <message>
        <source>フォルダーがありません</source>
        <translation>No such folder</translation>
    </message>
    <message>
        <source>読み取り専用のファイルシステムです</source>
        <translation>Read-only file system</translation>
    </message>
    <message>
        <source>アクセス権がありません</source>
        <translation>Permission denied</translation>
    </message>
    <message>
        <source>フォルダーです</source>
        <translation>Is a folder</translation>
    </message>
    <message>
        <source>ファイル名が長すぎます</source>
        <translation>File name too long</translation>
    </message>
    <message>
        <source>パスの途中がフォルダーではありません</source>
        <translation>A part of the path is not a folder</translation>
    </message>
    <message>
        <source>ディスクの使用量の上限を超えています</source>
        <translation>Disk quota exceeded</translation>
    </message>
    <message>
        <source>ファイルが見つかりません</source>
        <translation>File not found</translation>
    </message>
    <message>
        <source>ファイル名またはファイル番号が正しくありません</source>
        <translation>Bad file name or number</translation>
    </message>
    <message>
        <source>ファイルのモードが正しくありません</source>
        <translation>Bad file mode</translation>
    </message>
    <message>
        <source>ファイルは既に開かれています</source>
        <translation>File already open</translation>
    </message>
    <message>
        <source>デバイスの入出力でエラーが発生しました</source>
        <translation>Device I/O error</translation>
    </message>
    <message>
        <source>ファイルは既に存在します</source>
        <translation>File already exists</translation>
    </message>
    <message>
        <source>ディスクの空き容量が足りません</source>
        <translation>Disk full</translation>
    </message>
    <message>
        <source>ファイルの終わりを越えて読み込もうとしました</source>
        <translation>Input past end of file</translation>
    </message>
    <message>
        <source>ファイル名が正しくありません</source>
        <translation>Bad file name</translation>
    </message>
    <message>
        <source>開いているファイルが多すぎます</source>
        <translation>Too many files</translation>
    </message>
    <message>
        <source>デバイスが使用できません</source>
        <translation>Device unavailable</translation>
    </message>
    <message>
        <source>ディスクの準備ができていません</source>
        <translation>Disk not ready</translation>
    </message>
    <message>
        <source>パスまたはファイルへのアクセスでエラーが発生しました</source>
        <translation>Path/File access error</translation>
    </message>
    <message>
        <source>パスが見つかりません</source>
        <translation>Path not found</translation>
    </message>
    <message>
        <source>メモリが足りません</source>
        <translation>Out of memory</translation>
    </message>
    <message>
        <source>数値が扱える範囲を超えました</source>
        <translation>Overflow</translation>
    </message>
    <message>
        <source>%1 (エラー %2)</source>
        <translation>%1 (error %2)</translation>
    </message>
    <message>
        <source>不明なオプション &apos;%1&apos; です</source>
        <translation>Unknown option &apos;%1&apos;</translation>
    </message>
    <message>
        <source>&apos;%1&apos; の後に値がありません</source>
        <translation>Missing value after &apos;%1&apos;</translation>
    </message>
    <message>
        <source> (--%1 のことですか?)</source>
        <translation> (did you mean --%1?)</translation>
    </message>
    <message>
        <source>; --help を参照してください</source>
        <translation>; see --help</translation>
    </message>
    <message>
        <source>%1 を指定してください; --help を参照してください</source>
        <translation>expected %1; see --help</translation>
    </message>
    <message>
        <source>ファイル名が空です</source>
        <translation>an empty file name was given</translation>
    </message>
    <message>
        <source>%1: フォルダーです. 地図ファイルではありません</source>
        <translation>%1: is a folder, not a map file</translation>
    </message>
    <message>
        <source>%1: このプログラムが読める地図ファイルではありません (%2)</source>
        <translation>%1: not a map file this program can read (%2)</translation>
    </message>
    <message>
        <source>%1: 既にあります. 置き換えるには --overwrite を指定してください</source>
        <translation>%1: exists already; give --overwrite to replace it</translation>
    </message>
    <message>
        <source>-o/--output: 地図ファイルの名前が空です</source>
        <translation>-o/--output: the map file name is empty</translation>
    </message>
    <message>
        <source>--background と --background-at は同時に指定できません</source>
        <translation>--background and --background-at exclude each other</translation>
    </message>
    <message>
        <source>--background: #RRGGBB, rgb(R,G,B), 6 桁の BBGGRR または none を指定してください (&apos;%1&apos; ではなく)</source>
        <translation>--background: expected #RRGGBB, rgb(R,G,B), six digits BBGGRR or none, not &apos;%1&apos;</translation>
    </message>
    <message>
        <source>--background-at: X,Y を指定してください (&apos;%1&apos; ではなく)</source>
        <translation>--background-at: expected X,Y, not &apos;%1&apos;</translation>
    </message>
    <message>
        <source>--tone: 256, 128, 64, 32 または 16 を指定してください</source>
        <translation>--tone: expected 256, 128, 64, 32 or 16</translation>
    </message>
    <message>
        <source>--compress: 0 以上の整数を指定してください</source>
        <translation>--compress: expected a whole number of 0 or more</translation>
    </message>
    <message>
        <source>経度は東西 180° 以内です</source>
        <translation>longitudes lie within 180° east and west</translation>
    </message>
    <message>
        <source>緯度は南北 90° 以内です</source>
        <translation>latitudes lie within 90° north and south</translation>
    </message>
    <message>
        <source>北端は南端より 30&quot; 以上北にしてください</source>
        <translation>north must lie at least 30&quot; above south</translation>
    </message>
    <message>
        <source>警告: --%1 &apos;%2&apos; は %3 と読まれます (数の後の %4 は秒を表します). 度を表すには %4%5, %5°%4 または %6%5度 と書いてください</source>
        <translation>warning: --%1 &apos;%2&apos; reads as %3 (%4 after a number counts arc-seconds there); for degrees write %4%5, %5°%4 or %6%5度</translation>
    </message>
    <message>
        <source>--%1: &apos;%2&apos; を角度として読めません</source>
        <translation>--%1: cannot read &apos;%2&apos; as an angle</translation>
    </message>
    <message>
        <source>--%1: &apos;%2&apos; は範囲外です (%3)</source>
        <translation>--%1: &apos;%2&apos; is out of range (%3)</translation>
    </message>
    <message>
        <source>行を生成中</source>
        <translation>generating rows</translation>
    </message>
    <message>
        <source>図形を圧縮中</source>
        <translation>compressing figures</translation>
    </message>
    <message>
        <source>保存中 (%)</source>
        <translation>saving percent</translation>
    </message>
    <message>
        <source>--version: 104, 105 または 106 を指定してください (&apos;%1&apos; ではなく)</source>
        <translation>--version must be 104, 105 or 106, not &apos;%1&apos;</translation>
    </message>
    <message>
        <source>%1 として書き込みました</source>
        <translation>written as %1</translation>
    </message>
    <message>
        <source>--area: WEST,EAST,NORTH,SOUTH を指定してください</source>
        <translation>--area needs WEST,EAST,NORTH,SOUTH</translation>
    </message>
    <message>
        <source>--area: &apos;%1&apos; を角度として読めません</source>
        <translation>--area: cannot read the angle &apos;%1&apos;</translation>
    </message>
    <message>
        <source>--area: 経度は 180° 以内, 緯度は 90° 以内, 北端は南端より北にしてください</source>
        <translation>--area: longitudes must lie within 180°, latitudes within 90°, north above south</translation>
    </message>
    <message>
        <source>--%1: 1 から %2 までの整数を指定してください</source>
        <translation>--%1 must be a whole number from 1 to %2</translation>
    </message>
    <message>
        <source>画像の高さが大きすぎます. --width を小さくしてください</source>
        <translation>the picture would be too tall; give a smaller --width</translation>
    </message>
    <message>
        <source>%1: 画像を符号化できませんでした</source>
        <translation>%1: the picture could not be encoded</translation>
    </message>
    <message>
        <source>OUT の拡張子は .png か .svg にしてください</source>
        <translation>OUT must end in .png or .svg</translation>
    </message>
    <message>
        <source>このビルドは SVG を書き出せません</source>
        <translation>this build cannot write SVG</translation>
    </message>
    <message>
        <source>地図に描く図形がありません. --area を指定してください</source>
        <translation>the map has no figures to draw; give --area</translation>
    </message>
    <message>
        <source>%1: 事象ファイルではありません ([CATEGORY], [THING], [COMMENT] のどの節もありません)</source>
        <translation>%1: not a thing file (no [CATEGORY], [THING] or [COMMENT] section)</translation>
    </message>
    <message>
        <source>PICTURE をひとつ指定してください; --help を参照してください</source>
        <translation>expected exactly one PICTURE; see --help</translation>
    </message>
    <message>
        <source>%1 (%2 x %3 画素)</source>
        <translation>%1 (%2 x %3 pixels)</translation>
    </message>
    <message>
        <source>西端 %1, 東端 %2, 北端 %3, 南端 %4</source>
        <translation>west %1, east %2, north %3, south %4</translation>
    </message>
    <message>
        <source>(生成後): %1</source>
        <translation>after generation: %1</translation>
    </message>
    <message>
        <source>%1 点を %2 個の図形から間引きました (版 %3 に合わせるため)</source>
        <translation>%1 points removed from %2 figure(s) to fit version %3</translation>
    </message>
    <message>
        <source>%1 (%2): %3 地物</source>
        <translation>%1 (%2): %3 features</translation>
    </message>
    <message>
        <source> (%1 個のポリゴンを統合)</source>
        <translation> dissolved from %1 polygons</translation>
    </message>
    <message>
        <source>%1 回目: 削減 %2, 図形 %3</source>
        <translation>run %1: removed %2, figures %3</translation>
    </message>
    <message>
        <source>--transform: linear, helmert, poly1, poly2, poly3, tps または projective を指定してください (&apos;%1&apos; ではなく)</source>
        <translation>--transform: expected linear, helmert, poly1, poly2, poly3, tps or projective, not &apos;%1&apos;</translation>
    </message>
    <message>
        <source>--gcp と --gcp-file は同時に指定できません</source>
        <translation>--gcp and --gcp-file exclude each other</translation>
    </message>
    <message>
        <source>--world と端の指定は位置参照 (--source-crs, --gcp, --gcp-file) と同時に指定できません</source>
        <translation>--world and the edge options exclude georeferencing (--source-crs, --gcp, --gcp-file)</translation>
    </message>
    <message>
        <source>--source-crs は座標変換式に使います. 基準点の座標参照系は --gcp-crs で指定してください</source>
        <translation>--source-crs applies to a geotransform; control points take --gcp-crs</translation>
    </message>
    <message>
        <source>--warp-limit: メガバイト数を指定してください</source>
        <translation>--warp-limit: expected a number of megabytes</translation>
    </message>
    <message>
        <source>--gcp: PX,PY,LON,LAT を指定してください (&apos;%1&apos; ではなく)</source>
        <translation>--gcp: expected PX,PY,LON,LAT, not &apos;%1&apos;</translation>
    </message>
    <message>
        <source>%1: 画素 %2,%3 は %4,%5: 残差 %6,%7 = %8 px%9</source>
        <translation>%1: pixel %2,%3 at %4,%5: residual %6,%7 = %8 px%9</translation>
    </message>
    <message>
        <source> (無効)</source>
        <translation> (disabled)</translation>
    </message>
    <message>
        <source>%1 px (有効な基準点 %2 点, %3)</source>
        <translation>%1 px over %2 enabled points (%3)</translation>
    </message>
    <message>
        <source>警告: 残差の二乗平均平方根 %1 px が 1 画素を超えています. 基準点を見直すか, 別の --transform を選んでください</source>
        <translation>warning: the RMS residual %1 px exceeds one pixel: check the control points or choose another --transform</translation>
    </message>
    <message>
        <source>%1: --source-crs: 画像に座標変換式もワールドファイルもありません. 基準点 (--gcp, --gcp-file) を指定してください</source>
        <translation>%1: --source-crs: the picture has no geotransform or world file to place it by; give control points (--gcp, --gcp-file)</translation>
    </message>
    <message>
        <source>注意: %1: 座標変換式 (またはワールドファイル) はありますが座標参照系がありません. その位置で変換するには --source-crs を, 度として読むには --world-file を指定してください</source>
        <translation>note: %1: it has a geotransform (or world file) but no CRS; give --source-crs to place it by it, or --world-file to read it as degrees</translation>
    </message>
    <message>
        <source>%1 (%2)</source>
        <translation>%1 in %2</translation>
    </message>
    <message>
        <source>%1 x %2 画素, 1 画素 %3 x %4 秒</source>
        <translation>%1 x %2 pixels of %3 x %4 arc-seconds</translation>
    </message>
    <message>
        <source>--colors と --palette は同時に指定できません</source>
        <translation>--colors and --palette exclude each other</translation>
    </message>
    <message>
        <source>--colors: 2 から 256 までの整数を指定してください</source>
        <translation>--colors: expected a whole number from 2 to 256</translation>
    </message>
    <message>
        <source>--sieve: 0 以上の画素数を指定してください</source>
        <translation>--sieve: expected a whole number of pixels, 0 or more</translation>
    </message>
    <message>
        <source>--simplify: --regions と共に指定してください</source>
        <translation>--simplify: needs --regions</translation>
    </message>
    <message>
        <source>--simplify: 0 から 1000 までの画素数で許容差を指定してください</source>
        <translation>--simplify: expected a tolerance in pixels from 0 to 1000</translation>
    </message>
    <message>
        <source>--smooth: --regions と共に指定してください</source>
        <translation>--smooth: needs --regions</translation>
    </message>
    <message>
        <source>%1, 境界線 %2</source>
        <translation>%1, border arcs: %2</translation>
    </message>
    <message>
        <source> (%1 本は許容差のままでは他の境界と交わるため控えめに単純化)</source>
        <translation> (%1 simplified less, as the tolerance would have crossed a border)</translation>
    </message>
    <message>
        <source> (%1 本は丸めると他の境界と交わるため角を保持)</source>
        <translation> (%1 kept their corners, as rounding would have crossed a border)</translation>
    </message>
    <message>
        <source>%1 (指定 %2 のうち, 画像で見分けられる色はこれだけ)</source>
        <translation>%1 (of %2 asked: the picture shows no more that can be told apart)</translation>
    </message>
    <message>
        <source>基準点 %1 点, %2</source>
        <translation>%1 control points (%2)</translation>
    </message>
    <message>
        <source>%1 個の図形の色を捨てました (版 %2 は図形ごとの色を持たないため)</source>
        <translation>dropped the own colours of %1 figure(s) (version %2 keeps none)</translation>
    </message>
    <message>
        <source>%1: 入力のファイルに出力を書き込むことになります. -o で別の名前を指定してください</source>
        <translation>%1: the output would be written over this input file; choose another name with -o</translation>
    </message>
    <message>
        <source>--things: 事象ファイル (.THG) を指定してください (&apos;%1&apos; ではなく)</source>
        <translation>--things: give a thing file (.THG), not &apos;%1&apos;</translation>
    </message>
    <message>
        <source>注意: %1: 地図は空です (どの画素も背景色か, 整理で取り除かれました)</source>
        <translation>note: %1: the map is empty (every pixel is the background colour or was removed by the clean-up)</translation>
    </message>
    <message>
        <source>注意: 西端 %1 が東端 %2 より東にあるため, 180° 経線をまたいで %3° の幅に置きました (--west と --east が入れ違いではありませんか?)</source>
        <translation>note: the west edge %1 lies east of the east edge %2, so the picture spans %3° across the 180° meridian (were --west and --east given the wrong way round?)</translation>
    </message>
    <message>
        <source>注意: 西端と東端がともに %1 のため, 地球を一周する 360° の幅に置きました</source>
        <translation>note: the west and east edges are both %1, so the picture goes once round the globe (360°)</translation>
    </message>
    <message>
        <source>注意: --regions の領域はすでに一つずつの図形なので, --compress は行いません</source>
        <translation>note: each region of --regions is one figure already, so --compress is not run</translation>
    </message>
    <message>
        <source>注意: 画像の画素 (約 %1 秒) は地図で扱える 10 秒より細かいため, 粗い格子に載せました</source>
        <translation>note: the picture&apos;s pixels (about %1 seconds) are finer than the 10 seconds a map takes, so it is placed on a coarser grid</translation>
    </message>
    <message>
        <source>%1: 画像が 16 x 16 画素より小さいです (%2 x %3 画素)</source>
        <translation>%1: the picture is smaller than 16 x 16 pixels (%2 x %3 pixels)</translation>
    </message>
    <message>
        <source>注意: %1: 背景色 %2 の部分が画像にありません: どの画素も地図に入ります</source>
        <translation>note: %1: the picture has no area of the background colour %2: every pixel is mapped</translation>
    </message>
    <message>
        <source>-o/--output: 地図ファイル (.MLL) を指定してください (&apos;%1&apos; ではなく)</source>
        <translation>-o/--output: give a map file (.MLL), not &apos;%1&apos;</translation>
    </message>
    <message>
        <source>注意: %1: 画像自身の位置参照は使わず, 指定の端 (%2) で配置しました. 指定のない端は全世界のままです</source>
        <translation>note: %1: its own georeferencing is not used: it is placed by the edges given (%2), and the edges not given are the whole world&apos;s</translation>
    </message>
    <message>
        <source>注意: %1: 画像自身の位置参照は使わず, 指定の端で配置しました</source>
        <translation>note: %1: its own georeferencing is not used: it is placed by the edges given</translation>
    </message>
    <message>
        <source>--background-at: 画素 %1,%2 は画像の外にあります (%3 は %4 x %5 画素)</source>
        <translation>--background-at: pixel %1,%2 lies outside the picture (%3 is %4 x %5 pixels)</translation>
    </message>
    <message>
        <source>--transform, --gcp-crs, --save-gcp-file は基準点 (--gcp, --gcp-file, または座標参照系つきで画像に収められ, 座標変換式も端の指定もないときの基準点) に使います</source>
        <translation>--transform, --gcp-crs and --save-gcp-file apply to control points (--gcp, --gcp-file, or those stored in the picture with a CRS, when it has no geotransform and no edge is given)</translation>
    </message>
    <message>
        <source>標準出力に書き込めません: %1</source>
        <translation>cannot write to standard output: %1</translation>
    </message>
    <message>
        <source>%1: 事象ファイルではありません (通常のファイルではありません)</source>
        <translation>%1: not a thing file (not a regular file)</translation>
    </message>
    <message>
        <source>--background-at: 画素 %1,%2 は %3 のデータのない (透明な) 部分にあり, 地図にはなりません. 背景の色の画素を指定してください</source>
        <translation>--background-at: pixel %1,%2 lies where %3 holds no data (transparent), which is never mapped; give a pixel of the background colour</translation>
    </message>
    <message>
        <source>-o/--output: GDAL の仮想ファイル (%1) の隣には書けません. 地図ファイルを指定してください</source>
        <translation>-o/--output: nothing can be written beside a GDAL virtual file (%1); give the map file</translation>
    </message>
    <message>
        <source>約 %1 階調 (色を選ぶ前に平らにしました)</source>
        <translation>about %1 levels (smoothed away before the colours were chosen)</translation>
    </message>
    <message>
        <source>注意: %1: 地図が閉じの注記 &quot;/ end of file&quot; で終わっていません: 図形の切れ目で途中から切れているかもしれません</source>
        <translation>note: %1: the map does not end with the closing remark &quot;/ end of file&quot;: it may be cut short where a figure ends</translation>
    </message>
</context>
<context>
    <name>picmap::CleanupDialog</name>
    <message>
        <source>画像の整理</source>
        <translation>Clean up the picture</translation>
    </message>
    <message>
        <source>減らさない</source>
        <translation>keep them</translation>
    </message>
    <message>
        <source>色数(&amp;C):</source>
        <translation>&amp;Colours:</translation>
    </message>
    <message>
        <source>参照(&amp;B)...</source>
        <translation>&amp;Browse...</translation>
    </message>
    <message>
        <source>パレット(&amp;P):</source>
        <translation>&amp;Palette:</translation>
    </message>
    <message>
        <source>除去しない</source>
        <translation>keep all</translation>
    </message>
    <message>
        <source> ピクセル未満を除去</source>
        <translation> pixels: smaller regions removed</translation>
    </message>
    <message>
        <source>小領域(&amp;S):</source>
        <translation>&amp;Small regions:</translation>
    </message>
    <message>
        <source>長方形でなく領域ごとに1つのポリゴン(&amp;R)</source>
        <translation>One polygon per &amp;region instead of rectangles</translation>
    </message>
    <message>
        <source> ピクセル</source>
        <translation> pixels</translation>
    </message>
    <message>
        <source>境界の簡略化(&amp;I):</source>
        <translation>S&amp;implify borders within:</translation>
    </message>
    <message>
        <source>境界の角を丸める(&amp;O)</source>
        <translation>R&amp;ound the borders&apos; corners</translation>
    </message>
    <message>
        <source>パレットファイル</source>
        <translation>Palette file</translation>
    </message>
    <message>
        <source>パレット (*.gpl *.txt);;すべてのファイル (*)</source>
        <translation>Palettes (*.gpl *.txt);;All files (*)</translation>
    </message>
</context>
<context>
    <name>picmap::ControlPointDock</name>
    <message>
        <source>基準点</source>
        <translation>Control Points</translation>
    </message>
    <message>
        <source>変換(&amp;K)</source>
        <translation>Trans&amp;formation</translation>
    </message>
    <message>
        <source>画素X</source>
        <translation>Pixel X</translation>
    </message>
    <message>
        <source>画素Y</source>
        <translation>Pixel Y</translation>
    </message>
    <message>
        <source>経度</source>
        <translation>Longitude</translation>
    </message>
    <message>
        <source>緯度</source>
        <translation>Latitude</translation>
    </message>
    <message>
        <source>有効</source>
        <translation>Enabled</translation>
    </message>
    <message>
        <source>残差</source>
        <translation>Residual</translation>
    </message>
    <message>
        <source>経度と緯度はセルに入力できます</source>
        <translation>Longitude and latitude can be typed into their cells</translation>
    </message>
    <message>
        <source>基準点を削除(&amp;D)</source>
        <translation>&amp;Delete Point</translation>
    </message>
</context>
<context>
    <name>picmap::ReferenceDock</name>
    <message>
        <source>参照レイヤー</source>
        <translation>Reference Layers</translation>
    </message>
    <message>
        <source>チェックを外すと参照レイヤーを隠します</source>
        <translation>Uncheck a reference layer to hide it</translation>
    </message>
    <message>
        <source>不透明度(&amp;C)</source>
        <translation>Opa&amp;city</translation>
    </message>
    <message>
        <source>画像の上に表示(&amp;P)</source>
        <translation>Over the &amp;picture</translation>
    </message>
    <message>
        <source>削除(&amp;X)</source>
        <translation>&amp;Remove</translation>
    </message>
</context>
<context>
    <name>picmap::frmMain</name>
    <message>
        <source>256諧調(無圧縮)(&amp;A)</source>
        <translation>256 Levels, No Reduction (&amp;A)</translation>
    </message>
    <message>
        <source>128諧調(微圧縮)(&amp;B)</source>
        <translation>128 Levels, Slight (&amp;B)</translation>
    </message>
    <message>
        <source>64諧調(弱圧縮)(&amp;C)</source>
        <translation>64 Levels, Light (&amp;C)</translation>
    </message>
    <message>
        <source>32諧調(中圧縮)(&amp;D)</source>
        <translation>32 Levels, Medium (&amp;D)</translation>
    </message>
    <message>
        <source>16諧調(強圧縮)(&amp;E)</source>
        <translation>16 Levels, Strong (&amp;E)</translation>
    </message>
    <message>
        <source>ファイル(&amp;F)</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>画像ファイルを開く(&amp;O)...</source>
        <translation>&amp;Open Picture File...</translation>
    </message>
    <message>
        <source>地図ファイルを保存する(&amp;S)...</source>
        <translation>&amp;Save Map File...</translation>
    </message>
    <message>
        <source>終了(&amp;X)</source>
        <translation>E&amp;xit</translation>
    </message>
    <message>
        <source>領域設定(&amp;M)</source>
        <translation>&amp;Map Area</translation>
    </message>
    <message>
        <source>世界全体(&amp;A)</source>
        <translation>&amp;All the World</translation>
    </message>
    <message>
        <source>西端経度(&amp;W)</source>
        <translation>&amp;West Edge Longitude</translation>
    </message>
    <message>
        <source>東端経度(&amp;E)</source>
        <translation>&amp;East Edge Longitude</translation>
    </message>
    <message>
        <source>北端緯度(&amp;N)</source>
        <translation>&amp;North Edge Latitude</translation>
    </message>
    <message>
        <source>南端緯度(&amp;S)</source>
        <translation>&amp;South Edge Latitude</translation>
    </message>
    <message>
        <source>色設定(&amp;R)</source>
        <translation>Colou&amp;r</translation>
    </message>
    <message>
        <source>無効色(&amp;B)...</source>
        <translation>Invalid &amp;Colour...</translation>
    </message>
    <message>
        <source>変換(&amp;V)</source>
        <translation>Con&amp;vert</translation>
    </message>
    <message>
        <source>ポリゴン生成(&amp;P)</source>
        <translation>Generate &amp;Polygons</translation>
    </message>
    <message>
        <source>２次元圧縮(&amp;R)</source>
        <translation>Two-Dimensional Comp&amp;ression</translation>
    </message>
    <message>
        <source>処理中止(&amp;A)</source>
        <translation>&amp;Abort</translation>
    </message>
    <message>
        <source>表示(&amp;D)</source>
        <translation>&amp;Display</translation>
    </message>
    <message>
        <source>拡大(&amp;I)</source>
        <translation>Zoom &amp;In</translation>
    </message>
    <message>
        <source>縮小(&amp;O)</source>
        <translation>Zoom &amp;Out</translation>
    </message>
    <message>
        <source>画像の領域に合わせる(&amp;F)</source>
        <translation>&amp;Fit the Picture&apos;s Area</translation>
    </message>
    <message>
        <source>世界全体を表示(&amp;W)</source>
        <translation>Show the &amp;Whole World</translation>
    </message>
    <message>
        <source>生成結果を表示(&amp;G)</source>
        <translation>Show the &amp;Generated Map</translation>
    </message>
    <message>
        <source>最近使ったファイル(&amp;R)</source>
        <translation>&amp;Recent Pictures</translation>
    </message>
    <message>
        <source>諧調圧縮(&amp;T)</source>
        <translation>&amp;Tone Reduction</translation>
    </message>
    <message>
        <source>領域情報</source>
        <translation>Area</translation>
    </message>
    <message>
        <source>画像を貼り付ける領域の西端経度</source>
        <translation>Longitude of the west edge of the area the picture is pasted on</translation>
    </message>
    <message>
        <source>画像を貼り付ける領域の東端経度</source>
        <translation>Longitude of the east edge of the area the picture is pasted on</translation>
    </message>
    <message>
        <source>画像を貼り付ける領域の北端緯度</source>
        <translation>Latitude of the north edge of the area the picture is pasted on</translation>
    </message>
    <message>
        <source>画像を貼り付ける領域の南端緯度</source>
        <translation>Latitude of the south edge of the area the picture is pasted on</translation>
    </message>
    <message>
        <source>画像を貼り付ける領域のサイズ</source>
        <translation>Size of the area the picture is pasted on</translation>
    </message>
    <message>
        <source>無効色</source>
        <translation>Invalid Colour</translation>
    </message>
    <message>
        <source>地図上を右クリックで取得可能</source>
        <translation>Right-click the map to pick it</translation>
    </message>
    <message>
        <source>開いた画像のピクセル数</source>
        <translation>Pixels of the opened picture</translation>
    </message>
    <message>
        <source>画像の１ピクセルあたりの経度と緯度</source>
        <translation>Longitude and latitude of one picture pixel</translation>
    </message>
    <message>
        <source>不透明度(&amp;T)</source>
        <translation>Opaci&amp;ty</translation>
    </message>
    <message>
        <source>貼り付けた画像の不透明度</source>
        <translation>Opacity of the pasted picture</translation>
    </message>
    <message>
        <source>プレビューの表示倍率</source>
        <translation>Zoom of the preview</translation>
    </message>
    <message>
        <source>表示倍率：%1倍</source>
        <translation>Zoom: %1×</translation>
    </message>
    <message>
        <source>領域を固定(&amp;L)</source>
        <translation>&amp;Lock the area</translation>
    </message>
    <message>
        <source>ドラッグで領域が動かないようにする</source>
        <translation>Keep drags from moving the area</translation>
    </message>
    <message>
        <source>編集(&amp;E)</source>
        <translation>&amp;Edit</translation>
    </message>
    <message>
        <source>元に戻す(&amp;U)</source>
        <translation>&amp;Undo</translation>
    </message>
    <message>
        <source>やり直し(&amp;R)</source>
        <translation>&amp;Redo</translation>
    </message>
    <message>
        <source>参照レイヤーの追加(&amp;L)...</source>
        <translation>Add Reference &amp;Layer...</translation>
    </message>
    <message>
        <source>最近使った参照レイヤー(&amp;E)</source>
        <translation>R&amp;ecent Reference Layers</translation>
    </message>
    <message>
        <source>参照レイヤー一覧(&amp;Y)</source>
        <translation>Reference La&amp;yer List</translation>
    </message>
    <message>
        <source>基準点モード(&amp;G)</source>
        <translation>Control Point &amp;Mode</translation>
    </message>
    <message>
        <source>画像上の点をクリックし、次に参照上の同じ地点をクリックして基準点を置きます</source>
        <translation>Click a point on the picture, then the same place on the reference, to set a control point</translation>
    </message>
    <message>
        <source>基準点の経緯度を入力(&amp;T)...</source>
        <translation>&amp;Type Control Point Coordinates...</translation>
    </message>
    <message>
        <source>基準点ファイルを開く(&amp;P)...</source>
        <translation>Open Control &amp;Point File...</translation>
    </message>
    <message>
        <source>基準点ファイルを保存(&amp;V)...</source>
        <translation>Sa&amp;ve Control Point File...</translation>
    </message>
    <message>
        <source>画像の整理(&amp;L)...</source>
        <translation>C&amp;lean Up the Picture...</translation>
    </message>
</context>
</TS>
