#!/bin/sh
cd "$1" || exit 1
printf '%s' '<p>Clip &amp; more &eacute;</p><img src="http://a/1.jpg" id="imgid_0"><br>' > picture.html
printf '%s' '<table><tr><td>a<p>b<script>if (a<b) x="&amp;"</script><style>p>a{}</style><!-- c -->' > mixed.html
printf '%s' '<svg><foreignObject><b>x</b></foreignObject></svg><math><mi>x</mi></math><template>t</template>' > foreign.html
